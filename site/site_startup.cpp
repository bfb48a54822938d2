#include "site/site_startup.h"

#include "host/adodb/connection.h"
#include "host/adodb/connection_string.h"
#include "host/error.h"
#include "site/outline/database_outline.h"
#include "site/outline/foreign_key_relations.h"
#include "site/setting_names.h"

namespace tabrix::site {

void PrepareSite(SiteConfig& config, std::ostream& err) {
  std::string set_dns = SessionDatabase(config);
  std::vector<std::string> tables;
  DatabaseOutline outline;
  DerivedRelations derived;
  if (!set_dns.empty()) {
    auto connection = adodb::NewConnection();
    std::string doing = "open";
    try {
      connection->Open(Variant(set_dns));
      doing = "read";
      if (config.foreign_key_relations) {
        outline = ReadOutline(*connection);
        for (const OutlineTable& table : outline.tables) tables.push_back(table.name);
        derived = RelationsFromForeignKeys(
            outline, [&](const std::string& table, std::int64_t limit) {
              return CountRowsUpTo(*connection, table, limit);
            });
      } else {
        tables = ListTableNames(*connection);
      }
      connection->Close();
    } catch (const ScriptError& error) {
      throw ConfigError(config.file.string() + ": cannot " + doing + " the database \"" +
                        adodb::RedactPassword(set_dns) +
                        "\": " + adodb::RedactPassword(error.description()));
    }
  }
  // Judged as the owner wrote them, before relations are added.
  for (const std::string& warning : UnreadSettingWarnings(config.session, tables))
    err << "tabrix: warning: " << warning << "\n";
  if (set_dns.empty() && !config.session.empty())
    err << "tabrix: warning: [session] has no set_dns: the site has no database\n";
  if (!config.foreign_key_relations || set_dns.empty()) return;
  for (const std::string& note : derived.notes) err << "tabrix: " << note << "\n";
  AddForeignKeyRelations(config, derived);
  config.referring_keys = std::make_shared<const ReferringKeys>(derived, outline);
}

}  // namespace tabrix::site
