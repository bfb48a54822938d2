// `tabrix demo`: a demo database and its site, made in one command.
//
//   tabrix demo [--dir DIR] [--rows N] [--postgres ADDRESS] [--serve]
//               [--listen HOST:PORT]
//
// Makes DIR (./tabrix-demo by default) with demo.db, an SQLite database of
// N orders (default 2,000) and their customers, products, employees and
// order lines, and site.toml, its site. A folder that already holds a demo
// is used as it stands, so what people added stays; asking it for another
// N is refused with how to start again. With --serve it gives the three
// users new passwords, serves the site and first prints on the output:
//
//   Tabrix demo: http://127.0.0.1:PORT/
//   login admin PASSWORD  (may do everything)
//   login viewer PASSWORD  (may only view)
//   login clerk PASSWORD  (some tables; some fields hidden)
//
// With --postgres ADDRESS (a postgresql:// URI or libpq keywords) the
// database is that PostgreSQL database instead of demo.db, and site.toml
// names it; a database that already holds the demo is used as it stands,
// with the same rule for --rows.
//
// Without --serve it prints where the files are and how to serve them.
// Exit codes as `tabrix serve`: 0, or 2 with a message for bad usage or a
// demo that cannot be made or served.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tabrix::site {

struct DemoOptions {
  std::filesystem::path dir = "tabrix-demo";
  std::optional<std::int64_t> rows;  // the number of orders asked for
  std::optional<std::string> postgres;  // the address of a PostgreSQL database
  bool serve = false;
  std::optional<std::string> listen;  // overrides the site's, with --serve
  bool help = false;
};

// Reads the words after "demo". Raises UsageError (call_command.h) for an
// unknown option, a missing or repeated value, an N that is not a whole
// number from 1 to the most a demo holds, a bad HOST:PORT, a PostgreSQL
// address libpq cannot read, or --listen without --serve.
DemoOptions ParseDemoArguments(const std::vector<std::string>& words);

// The whole command; returns the exit code.
int RunDemoCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

std::string DemoUsage();

}  // namespace tabrix::site
