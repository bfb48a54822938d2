// The demo's site.toml: captions, relations, value lists, links, actions
// and three users, written once when the demo is made. Its users'
// password hashes are the only lines rewritten afterwards (at each
// `tabrix demo --serve`), so any other change a person makes to the file
// stays.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "site/demo/demo_data.h"

namespace tabrix::site::demo {

struct DemoUser {
  std::string_view login;
  std::string_view summary;  // what the user may do, as the demo prints it
};

// The users in the order of their numbers (set_user1_ is admin).
const std::vector<DemoUser>& DemoUsers();

// The SQLite demo's connection string: demo.db beside site.toml.
inline constexpr std::string_view kSqliteDemoDns = "Provider=SQLite;Data Source=demo.db";

// The configuration of a demo of `counts`' size in the database of
// `set_dns` (any text; it is escaped for TOML). `encrypt_key` keys the
// table codes; every user's password is a value that matches no password
// until WithPasswordHashes sets real ones. A relation offers its rows as a
// drop-down list only while the related table is small enough for one.
std::string DemoSiteToml(const DemoCounts& counts, std::string_view encrypt_key,
                         std::string_view set_dns = kSqliteDemoDns);

// `text` as a TOML basic string, quotes included.
std::string TomlString(std::string_view text);

// `toml` with the line "set_userN_password = ..." of user N = 1, 2, ...
// replaced by one holding hashes[N - 1]. Raises std::runtime_error naming
// the first user whose line is missing.
std::string WithPasswordHashes(std::string_view toml, const std::vector<std::string>& hashes);

// `length` characters from an alphabet without look-alike characters,
// drawn from the operating system's random source.
std::string RandomSecret(size_t length);

}  // namespace tabrix::site::demo
