#include "site/site_startup.h"

#include "host/adodb/connection.h"
#include "host/adodb/connection_string.h"
#include "host/error.h"
#include "host/locale/locale.h"
#include "site/history/history_log.h"
#include "site/outline/database_outline.h"
#include "site/outline/foreign_key_relations.h"
#include "site/setting_names.h"

namespace tabrix::site {

namespace {

// The history table is the site's own: the menu lists it for no one. It
// joins the disabled tables, which the menu already honours.
void KeepHistoryOutOfMenu(SiteConfig& config) {
  for (auto& [key, value] : config.session) {
    if (!EqualsIgnoreCase(key, "set_disabled_tables")) continue;
    std::string list = value.IsString() ? value.string() : std::string();
    value = Variant(list.empty() ? std::string(history::kSqliteTable)
                                 : list + "," + history::kSqliteTable);
    return;
  }
  config.session.emplace_back("set_disabled_tables", Variant(history::kSqliteTable));
}

}  // namespace

void PrepareSite(SiteConfig& config, std::ostream& err) {
  std::string set_dns = SessionDatabase(config);
  std::vector<std::string> tables;
  DatabaseOutline outline;
  DerivedRelations derived;
  bool hide_history = false;
  if (!set_dns.empty()) {
    auto connection = adodb::NewConnection();
    std::string doing = "open";
    bool postgres = history::IsPostgres(set_dns);
    try {
      connection->Open(Variant(set_dns));
      if (config.history && adodb::ReadOnlyMode(adodb::ConnectionString::Parse(set_dns))) {
        err << "tabrix: warning: history = true is ignored: set_dns opens the database "
               "read-only\n";
        config.history = false;
      }
      if (config.history) {
        doing = "prepare the history table in";
        history::Prepare(*connection, postgres, config.history_days);
      }
      doing = "read";
      hide_history = !postgres && history::Exists(*connection, postgres);
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
  if (hide_history) KeepHistoryOutOfMenu(config);
  if (set_dns.empty() && !config.session.empty())
    err << "tabrix: warning: [session] has no set_dns: the site has no database\n";
  if (!config.foreign_key_relations || set_dns.empty()) return;
  for (const std::string& note : derived.notes) err << "tabrix: " << note << "\n";
  AddForeignKeyRelations(config, derived);
  config.referring_keys = std::make_shared<const ReferringKeys>(derived, outline);
}

}  // namespace tabrix::site
