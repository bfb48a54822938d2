#include "site/init_command.h"

#include <optional>

#include "site/call_command.h"
#include "site/config.h"
#include "site/outline/database_draft.h"

namespace tabrix::site {

int RunInitCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  DraftOptions draft;
  std::optional<std::string> database;
  std::optional<std::string> locale;
  try {
    for (size_t i = 0; i < words.size(); ++i) {
      const std::string& word = words[i];
      auto value_of = [&]() -> const std::string& { return OptionValue(words, i); };
      if (word == "--help" || word == "-h") {
        out << InitUsage();
        return 0;
      } else if (word == "--listen") {
        draft.listen = value_of();
      } else if (word == "--locale") {
        locale = value_of();
      } else if (!word.starts_with("-") && !database) {
        database = word;
      } else {
        throw UsageError("unknown argument " + word);
      }
    }
    if (!database) throw UsageError("name the database: an SQLite file or a postgresql:// URI");
  } catch (const UsageError& e) {
    err << "tabrix init: " << e.what() << "\nTry 'tabrix init --help'.\n";
    return 2;
  }
  try {
    ApplyProcessSettings(nullptr, locale);
    if (locale) draft.locale = *locale;
    draft.database = *database;
    draft.set_dns = ConnectionStringFor(*database, false);
    DraftedSite site = DraftSiteFor(draft);
    // Checked as the server will read it: a draft it refuses is a fault here.
    ParseConfig(site.draft.toml, "site.toml");
    out << site.draft.toml;
    out.flush();
    for (const std::string& note : site.relation_notes) err << "tabrix init: " << note << "\n";
    for (const std::string& note : site.draft.notes) err << "tabrix init: " << note << "\n";
    err << "tabrix init: login admin " << site.password
        << "  (shown this once; the configuration holds its hash)\n";
  } catch (const ConfigError& e) {
    err << "tabrix init: " << e.what() << "\n";
    return 2;
  }
  return 0;
}

std::string InitUsage() {
  return R"(Usage: tabrix init [--listen HOST:PORT] [--locale TAG] DATABASE > site.toml

Writes a commented configuration for an existing database on the standard
output: every table and view, list and search fields chosen by type,
relations from the foreign keys, value lists from CHECK (column IN (...))
constraints, the Delete and Export actions, and one administrator "admin"
whose new password is printed on the standard error, this once. Serve it
with: tabrix serve --config site.toml

DATABASE is an SQLite file or a postgresql:// URI (its password, if any,
is written into the configuration).

Options:
  --listen HOST:PORT  the address the site will listen on (127.0.0.1:8080)
  --locale TAG        its regional settings (en-US)
  --help              print this text
)";
}

}  // namespace tabrix::site
