#include "site/site_startup.h"

#include "host/adodb/connection.h"
#include "host/adodb/connection_string.h"
#include "host/error.h"
#include "site/outline/database_draft.h"
#include "site/outline/database_outline.h"
#include "site/outline/foreign_key_relations.h"

namespace tabrix::site {

void PrepareSite(SiteConfig& config, std::ostream& err) {
  std::string set_dns = SessionDatabase(config);
  if (set_dns.empty()) return;
  if (!config.foreign_key_relations) {
    CheckDatabaseOpens(set_dns);
    return;
  }
  auto connection = adodb::NewConnection();
  DatabaseOutline outline;
  DerivedRelations derived;
  try {
    connection->Open(Variant(set_dns));
    outline = ReadOutline(*connection);
    derived = RelationsFromForeignKeys(outline, [&](const std::string& table, std::int64_t limit) {
      return CountRowsUpTo(*connection, table, limit);
    });
    connection->Close();
  } catch (const ScriptError& error) {
    throw ConfigError(config.file.string() + ": cannot read the database \"" +
                      adodb::RedactPassword(set_dns) +
                      "\": " + adodb::RedactPassword(error.description()));
  }
  for (const std::string& note : derived.notes) err << "tabrix: " << note << "\n";
  AddForeignKeyRelations(config, derived);
  config.referring_keys = std::make_shared<const ReferringKeys>(derived, outline);
}

}  // namespace tabrix::site
