#include "site/demo_command.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "access/password_hash.h"
#include "host/adodb/connection_string.h"
#include "site/call_command.h"
#include "site/config.h"
#include "site/demo/demo_data.h"
#include "site/demo/demo_site_config.h"
#include "site/demo/pg_demo_loader.h"
#include "site/demo/pg_demo_target.h"
#include "site/demo/sqlite_demo_loader.h"
#include "site/serve_command.h"

namespace tabrix::site {

namespace fs = std::filesystem;

namespace {

// A demo that cannot be made or served as asked; what() says why and what
// to do.
class DemoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::int64_t ParseRows(const std::string& text) {
  std::int64_t rows = 0;
  bool digits = !text.empty() && text.size() <= 9 &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits) rows = std::stoll(text);
  if (!digits || rows < 1 || rows > demo::kMaxDemoOrders)
    throw UsageError("--rows must be a whole number from 1 to " +
                     std::to_string(demo::kMaxDemoOrders) + ", not \"" + text + "\"");
  return rows;
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw DemoError("cannot read " + file.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes beside `file` and renames, so a reader never sees half a file.
void ReplaceFile(const fs::path& file, const std::string& text) {
  fs::path temporary = file;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw DemoError("cannot write " + temporary.string());
  }
  fs::rename(temporary, file);
}

std::string Seconds(std::chrono::steady_clock::time_point started) {
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char took[32];
  std::snprintf(took, sizeof took, "%.1f", seconds);
  return took;
}

// Makes the database and site.toml in `dir`. The database is built under
// another name and renamed into place last, once whole: a demo.db in the
// folder always has its site.toml.
void MakeDemo(const fs::path& dir, std::int64_t orders, std::ostream& report) {
  fs::path database = dir / "demo.db";
  fs::path building = dir / "demo.db.building";
  fs::remove(building);  // left by a run that was stopped
  auto started = std::chrono::steady_clock::now();
  std::int64_t lines = demo::WriteSqliteDemo(building, orders);
  ReplaceFile(dir / "site.toml",
              demo::DemoSiteToml(demo::CountsFor(orders), demo::RandomSecret(32)));
  fs::rename(building, database);
  report << "Made a demo of " << orders << " orders and " << lines << " order lines in "
         << dir.string() << " (" << Seconds(started) << " s)\n";
}

// Checks that `dir` holds a whole demo made for the rows asked (if any).
void CheckExistingDemo(const fs::path& dir, const std::optional<std::int64_t>& rows,
                       std::ostream& report) {
  fs::path database = dir / "demo.db";
  std::string again = "delete the folder " + dir.string() + " to make a new demo";
  if (!fs::exists(dir / "site.toml"))
    throw DemoError(database.string() + " is there but site.toml is not; " + again);
  std::int64_t made = demo::SqliteDemoOrders(database);
  if (made == 0)
    throw DemoError(database.string() + " is not a database this command made; " + again);
  if (rows && *rows != made)
    throw DemoError("the demo in " + dir.string() + " has " + std::to_string(made) +
                    " orders; it is kept as it is, so --rows " + std::to_string(*rows) +
                    " does not apply: " + again + " with --rows " + std::to_string(*rows));
  report << "Using the demo in " << dir.string() << " (made with " << made
         << " orders; what was added since stays)\n";
}

// The demo in a PostgreSQL database: loaded unless the database holds it
// already, with a site.toml in `dir` that names that database.
void UsePgDemo(const fs::path& dir, const demo::PgDemoTarget& target,
               const std::optional<std::int64_t>& rows, std::ostream& report) {
  fs::path toml = dir / "site.toml";
  std::string where = "the PostgreSQL database " + adodb::RedactPassword(target.set_dns);
  if (fs::exists(dir / "demo.db"))
    throw DemoError(dir.string() + " holds an SQLite demo; give another --dir for " + where);
  std::string again =
      "to make a new demo there, drop its tables (DROP TABLE order_items, orders, employees, "
      "products, customers CASCADE) or give another database";
  // A site of another database stays as it is, and nothing is loaded for it.
  if (fs::exists(toml) &&
      ReadFile(toml).find("set_dns = " + demo::TomlString(target.set_dns)) == std::string::npos)
    throw DemoError(toml.string() + " names another database connection than --postgres " +
                    "gives; give another --dir, or the --postgres it was made with");
  std::optional<std::int64_t> made = demo::PgDemoOrders(target.params);
  if (!made) {
    std::int64_t orders = rows.value_or(demo::kDefaultDemoOrders);
    auto started = std::chrono::steady_clock::now();
    std::int64_t lines = demo::WritePgDemo(target.params, orders);
    ReplaceFile(toml, demo::DemoSiteToml(demo::CountsFor(orders), demo::RandomSecret(32),
                                         target.set_dns));
    report << "Made a demo of " << orders << " orders and " << lines << " order lines in "
           << where << ", its site in " << dir.string() << " (" << Seconds(started) << " s)\n";
    return;
  }
  if (*made == 0)
    throw DemoError(where + " holds tables named as the demo's that this command did not make; " +
                    again);
  if (rows && *rows != *made)
    throw DemoError("the demo in " + where + " has " + std::to_string(*made) +
                    " orders; it is kept as it is, so --rows " + std::to_string(*rows) +
                    " does not apply: " + again);
  if (!fs::exists(toml))
    ReplaceFile(toml, demo::DemoSiteToml(demo::CountsFor(*made), demo::RandomSecret(32),
                                         target.set_dns));
  report << "Using the demo in " << where << " (made with " << *made
         << " orders; what was added since stays), its site in " << dir.string() << "\n";
}

// New passwords for the users, their hashes written into site.toml.
std::vector<std::string> SetNewPasswords(const fs::path& toml) {
  std::vector<std::string> passwords, hashes;
  for (size_t n = 0; n < demo::DemoUsers().size(); ++n) {
    passwords.push_back(demo::RandomSecret(12));
    hashes.push_back(HashPassword(passwords.back()));
  }
  ReplaceFile(toml, demo::WithPasswordHashes(ReadFile(toml), hashes));
  return passwords;
}

}  // namespace

DemoOptions ParseDemoArguments(const std::vector<std::string>& words) {
  DemoOptions options;
  bool dir_given = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    auto value_of = [&]() -> const std::string& { return OptionValue(words, i); };
    if (word == "--help" || word == "-h") {
      options.help = true;
    } else if (word == "--dir") {
      if (dir_given) throw UsageError("--dir is given twice");
      dir_given = true;
      options.dir = value_of();
      if (options.dir.empty()) throw UsageError("--dir needs a folder");
    } else if (word == "--rows") {
      if (options.rows) throw UsageError("--rows is given twice");
      options.rows = ParseRows(value_of());
    } else if (word == "--postgres") {
      if (options.postgres) throw UsageError("--postgres is given twice");
      options.postgres = value_of();
      try {
        demo::PgDemoTargetFor(*options.postgres);
      } catch (const std::invalid_argument& e) {
        throw UsageError(e.what());
      }
    } else if (word == "--serve") {
      if (options.serve) throw UsageError("--serve is given twice");
      options.serve = true;
    } else if (word == "--listen") {
      if (options.listen) throw UsageError("--listen is given twice");
      options.listen = value_of();
      ParseListenAddress(*options.listen);
    } else {
      throw UsageError("unknown argument " + word);
    }
  }
  if (options.listen && !options.serve && !options.help)
    throw UsageError("--listen applies only with --serve");
  return options;
}

int RunDemoCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  DemoOptions options;
  try {
    options = ParseDemoArguments(words);
  } catch (const UsageError& e) {
    err << "tabrix demo: " << e.what() << "\nTry 'tabrix demo --help'.\n";
    return 2;
  }
  if (options.help) {
    out << DemoUsage();
    return 0;
  }
  // With --serve the output starts with the address and the logins; what
  // the command did before goes to the error stream.
  std::ostream& report = options.serve ? err : out;
  const fs::path& dir = options.dir;
  fs::path toml = dir / "site.toml";
  std::optional<SiteConfig> config;
  std::vector<std::string> passwords;
  try {
    fs::create_directories(dir);
    std::string database = (dir / "demo.db").string();
    if (options.postgres) {
      demo::PgDemoTarget target = demo::PgDemoTargetFor(*options.postgres);
      UsePgDemo(dir, target, options.rows, report);
      database = "the PostgreSQL database " + adodb::RedactPassword(target.set_dns);
    } else if (fs::exists(dir / "demo.db")) {
      CheckExistingDemo(dir, options.rows, report);
    } else {
      MakeDemo(dir, options.rows.value_or(demo::kDefaultDemoOrders), report);
    }
    if (!options.serve) {
      out << "The demo's database is " << database << " and its site "
          << toml.string() << ".\nServe it (new passwords are printed at each start) with:\n"
          << "  tabrix demo --dir " << dir.string()
          << (options.postgres ? " --postgres '" + *options.postgres + "'" : std::string())
          << " --serve\n";
      return 0;
    }
    passwords = SetNewPasswords(toml);
    config = LoadConfig(toml);
  } catch (const ConfigError& e) {
    err << "tabrix demo: " << e.what() << "\n";
    return 2;
  } catch (const std::exception& e) {
    err << "tabrix demo: " << e.what() << "\n";
    return 2;
  }
  auto print_logins = [&](const std::string& host, std::uint16_t port) {
    out << "Tabrix demo: http://" << host << ":" << port << "/\n";
    for (size_t n = 0; n < passwords.size(); ++n) {
      const demo::DemoUser& user = demo::DemoUsers()[n];
      out << "login " << user.login << " " << passwords[n] << "  (" << user.summary << ")\n";
    }
    out.flush();
  };
  return ServeSite(&*config, options.listen, "demo", err, print_logins);
}

std::string DemoUsage() {
  return R"(Usage: tabrix demo [--dir DIR] [--rows N] [--postgres ADDRESS] [--serve]
                   [--listen HOST:PORT]

Makes a demo: an SQLite database of N orders with their customers, products,
employees and order lines (demo.db), and a site for it (site.toml) with three
users: admin may do everything, viewer may only view, clerk sees some tables
and not every field. A folder that already holds a demo is used as it stands,
so what was added stays; delete the folder to make a new one.

Options:
  --dir DIR           the demo's folder (default: ./tabrix-demo)
  --rows N            the number of orders of a new demo, 1 to 2000000
                      (default 2000)
  --postgres ADDRESS  put the demo in this PostgreSQL database instead of
                      demo.db: a postgresql:// URI or libpq keywords
                      ("host=/tmp port=5432 user=me dbname=shop"); a
                      database that holds the demo already is used as it
                      stands, and site.toml in DIR names the database
  --serve             give the users new passwords, print them with the
                      site's address, and serve the site until SIGTERM or
                      SIGINT (as `tabrix serve`)
  --listen HOST:PORT  with --serve: the address to listen on (default
                      127.0.0.1:8080); port 0 picks a free one
  --help              print this text
)";
}

}  // namespace tabrix::site
