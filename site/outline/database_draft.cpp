#include "site/outline/database_draft.h"

#include <unistd.h>

#include <filesystem>

#include "access/password_hash.h"
#include "host/adodb/connection.h"
#include "host/adodb/connection_string.h"
#include "host/error.h"
#include "site/demo/demo_site_config.h"

namespace tabrix::site {

namespace fs = std::filesystem;

namespace {

// A connection-string value, quoted when it holds what would end it.
std::string ConnectionValue(const std::string& value) {
  bool plain = !value.empty() && value.find_first_of(";=\"'") == std::string::npos &&
               value.front() != ' ' && value.back() != ' ';
  if (plain) return value;
  std::string quoted = "\"";
  for (char c : value) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::shared_ptr<adodb::Connection> Open(const std::string& set_dns) {
  auto connection = adodb::NewConnection();
  try {
    connection->Open(Variant(set_dns));
  } catch (const ScriptError& error) {
    throw ConfigError("cannot open the database \"" + adodb::RedactPassword(set_dns) +
                      "\": " + adodb::RedactPassword(error.description()));
  }
  return connection;
}

}  // namespace

std::string ConnectionStringFor(const std::string& database, bool read_only) {
  if (adodb::IsPostgresUri(database)) {
    if (!read_only) return database;
    return "Provider=PostgreSQL;uri=" + ConnectionValue(database) + ";Mode=Read";
  }
  std::error_code ec;
  fs::path path = fs::absolute(database, ec).lexically_normal();
  if (ec || !fs::exists(path, ec))
    throw ConfigError("the database file " + path.string() + " does not exist");
  if (fs::is_directory(path, ec))
    throw ConfigError(path.string() + " is a folder, not a database file");
  // A site that may write needs the file, and its folder for the journal,
  // writable by this user: otherwise every change would fail as it is made.
  if (!read_only && (access(path.c_str(), W_OK) != 0 ||
                     access(path.parent_path().c_str(), W_OK) != 0))
    throw ConfigError("this user may not write " + path.string() +
                      " or its folder (the journal is written beside the file): serve it with "
                      "--readonly, or let this user write both");
  return "Provider=SQLite;Data Source=" + ConnectionValue(path.string()) +
         (read_only ? ";Mode=Read" : "");
}

DraftedSite DraftSiteFor(DraftOptions options) {
  auto connection = Open(options.set_dns);
  DatabaseOutline outline;
  DerivedRelations relations;
  try {
    outline = ReadOutline(*connection);
    relations = RelationsFromForeignKeys(outline, [&](const std::string& table, std::int64_t limit) {
      return CountRowsUpTo(*connection, table, limit);
    });
  } catch (const ScriptError& error) {
    throw ConfigError("cannot read the tables of \"" + adodb::RedactPassword(options.set_dns) +
                      "\": " + adodb::RedactPassword(error.description()));
  }
  connection->Close();
  DraftedSite site;
  site.password = demo::RandomSecret(12);
  options.admin_password = HashPassword(site.password);
  options.encrypt_key = demo::RandomSecret(32);
  site.draft = DraftSite(outline, relations, options);
  site.relation_notes = std::move(relations.notes);
  return site;
}

}  // namespace tabrix::site
