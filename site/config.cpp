#include "site/config.h"

#include <toml++/toml.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unordered_map>

#include "host/adodb/connection.h"
#include "host/adodb/connection_pool.h"
#include "host/adodb/connection_string.h"
#include "host/adodb/postgres/pg_params.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "site/session/client_address.h"
#include "site/session/same_origin.h"

namespace tabrix::site {

namespace fs = std::filesystem;

namespace {

std::string_view KindName(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a float";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::date: return "a date";
    case toml::node_type::time: return "a time";
    case toml::node_type::date_time: return "a date-time";
    case toml::node_type::array: return "an array";
    case toml::node_type::table: return "a table";
    default: return "nothing";
  }
}

using Entry = std::pair<const toml::key*, const toml::node*>;

// A table's entries in the order they were written (toml++ keeps them
// sorted by name).
std::vector<Entry> InFileOrder(const toml::table& table) {
  std::vector<Entry> entries;
  for (const auto& [key, node] : table) entries.emplace_back(&key, &node);
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    const toml::source_position& pa = a.first->source().begin;
    const toml::source_position& pb = b.first->source().begin;
    return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
  });
  return entries;
}

class Checker {
 public:
  explicit Checker(std::string file_label) : file_label_(std::move(file_label)) {}

  [[noreturn]] void Fail(const toml::source_region& where, std::string_view key,
                         std::string_view why) const {
    std::ostringstream text;
    text << file_label_ << ", line " << where.begin.line;
    if (!key.empty()) text << ", key \"" << key << "\"";
    text << ": " << why;
    throw ConfigError(text.str());
  }

  // The checks below name the line of the key, which tables made
  // implicitly by dotted keys have too.
  [[noreturn]] void WrongKind(const Entry& entry, std::string_view path,
                              std::string_view expected) const {
    Fail(entry.first->source(), path,
         "expected " + std::string(expected) + ", found " + std::string(KindName(*entry.second)));
  }

  // An integer from `low` to `high`.
  std::int64_t Integer(const Entry& entry, std::string_view path, std::int64_t low,
                       std::int64_t high) const {
    if (!entry.second->is_integer()) WrongKind(entry, path, "an integer");
    std::int64_t value = entry.second->as_integer()->get();
    if (value < low || value > high)
      Fail(entry.first->source(), path,
           "expected a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    return value;
  }

  const std::string& Text(const Entry& entry, std::string_view path) const {
    if (!entry.second->is_string()) WrongKind(entry, path, "a string");
    return entry.second->as_string()->get();
  }

  const toml::table& Table(const Entry& entry, std::string_view path) const {
    if (!entry.second->is_table()) WrongKind(entry, path, "a table");
    return *entry.second->as_table();
  }

  Variant Scalar(const Entry& entry, std::string_view path) const {
    const toml::node& node = *entry.second;
    switch (node.type()) {
      case toml::node_type::string: return Variant(node.as_string()->get());
      case toml::node_type::integer:
        return Variant(static_cast<long long>(node.as_integer()->get()));
      case toml::node_type::floating_point: return Variant(node.as_floating_point()->get());
      case toml::node_type::boolean: return Variant(node.as_boolean()->get());
      case toml::node_type::date: return DateOf(entry, path, node.as_date()->get(), {});
      case toml::node_type::time: return DateOf(entry, path, std::nullopt, node.as_time()->get());
      case toml::node_type::date_time: {
        const toml::date_time& dt = node.as_date_time()->get();
        return DateOf(entry, path, dt.date, dt.time);
      }
      default: WrongKind(entry, path, "a string, number, boolean or date");
    }
  }

  // Refuses a key that matches an earlier one of the same table ignoring
  // case: the session and the fields would take them as one.
  void CheckCaseClash(std::unordered_map<std::string, std::string>& seen, const toml::key& key,
                      const std::string& path) const {
    auto [it, added] = seen.emplace(FoldCase(key.str()), std::string(key.str()));
    if (!added)
      Fail(key.source(), path, "repeats the key \"" + it->second + "\" (keys ignore letter case)");
  }

 private:
  Variant DateOf(const Entry& entry, std::string_view path, std::optional<toml::date> date,
                 std::optional<toml::time> time) const {
    CivilTime t;
    if (date) {
      t.year = date->year;
      t.month = date->month;
      t.day = date->day;
      if (t.year < 100 || !IsValidCivilDate(t.year, t.month, t.day))
        Fail(entry.first->source(), path, "a date must lie between 0100-01-01 and 9999-12-31");
    }
    if (time) {
      t.hour = time->hour;
      t.minute = time->minute;
      t.second = std::min<int>(time->second, 59);  // a leap second reads as :59
    }
    return Variant(MakeDate(t));
  }

  std::string file_label_;
};

bool IsListenAddress(std::string_view text) {
  size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  std::string_view port = text.substr(colon + 1);
  int n = 0;
  auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), n);
  return ec == std::errc() && end == port.data() + port.size() && port.front() != '+' && n >= 1 &&
         n <= 65535;
}

bool LooksLikeLanguageTag(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
  });
}

// Returns the entry of `kind` when it asks for the database (checked once
// the whole file, with its [session], is read).
std::optional<Entry> ReadSessionStore(const Checker& check, const toml::table& table,
                                      SiteConfig& config) {
  std::optional<Entry> database;
  for (const Entry& entry : InFileOrder(table)) {
    std::string name(entry.first->str());
    std::string path = "session_store." + name;
    if (name == "kind") {
      config.session_store_kind = check.Text(entry, path);
      if (config.session_store_kind == "database") {
        database = entry;
      } else if (config.session_store_kind != "memory") {
        check.Fail(entry.first->source(), path,
                   "a session store is of kind \"memory\" or \"database\"");
      }
    } else if (name == "idle_minutes") {
      config.session_idle_minutes = check.Integer(entry, path, 1, 7 * 24 * 60);
    } else {
      check.Fail(entry.first->source(), path,
                 "unknown key (a session store takes \"kind\" and \"idle_minutes\")");
    }
  }
  return database;
}

// A store in the database needs the site's database to be a PostgreSQL one:
// a site that asks for it must not silently get another store.
void CheckSessionDatabase(const Checker& check, const Entry& kind, const SiteConfig& config) {
  std::string dns = SessionDatabase(config);
  std::string why;
  if (dns.empty()) {
    why = "[session] has no set_dns text";
  } else {
    try {
      adodb::postgres::PgParamsFor(dns);
    } catch (const ScriptError& e) {
      why = "set_dns is not a PostgreSQL connection string (" +
            adodb::RedactPassword(e.description()) + ")";
    }
  }
  if (!why.empty())
    check.Fail(kind.first->source(), "session_store.kind",
               "kind = \"database\" keeps sessions in the site's PostgreSQL database, but " +
                   why);
}

void ReadSession(const Checker& check, const toml::table& table, SiteConfig& config) {
  std::unordered_map<std::string, std::string> seen;
  for (const Entry& entry : InFileOrder(table)) {
    std::string path = "session." + std::string(entry.first->str());
    check.CheckCaseClash(seen, *entry.first, path);
    // Every session reads through to these settings: a login's own record
    // set here would log every visitor in.
    for (std::string_view own : {"UserOk", "UserId", "LoginName"})
      if (EqualsIgnoreCase(entry.first->str(), own))
        check.Fail(entry.first->source(), path,
                   "is the session's own record of a login, which no setting may give "
                   "(every visitor would count as logged in)");
    config.session.emplace_back(std::string(entry.first->str()), check.Scalar(entry, path));
  }
}

BulkAction ReadAction(const Checker& check, const Entry& action_entry, const std::string& path) {
  const toml::table& table = check.Table(action_entry, path);
  std::optional<Entry> kind_entry, values_entry;
  for (const Entry& entry : InFileOrder(table)) {
    if (entry.first->str() == "do") {
      kind_entry = entry;
    } else if (entry.first->str() == "values") {
      values_entry = entry;
    } else {
      check.Fail(entry.first->source(), path + "." + std::string(entry.first->str()),
                 "unknown key (an action takes \"do\" and \"values\")");
    }
  }
  if (!kind_entry) check.Fail(action_entry.first->source(), path, "an action needs \"do\"");
  const std::string& kind = check.Text(*kind_entry, path + ".do");
  BulkAction action;
  if (kind == "delete" || kind == "export") {
    if (values_entry)
      check.Fail(values_entry->first->source(), path + ".values",
                 "\"values\" goes only with do = \"set\"");
    action.kind = kind == "delete" ? BulkAction::Kind::kDelete : BulkAction::Kind::kExport;
    return action;
  }
  if (kind != "set")
    check.Fail(kind_entry->first->source(), path + ".do",
               "\"do\" is \"delete\", \"set\" or \"export\", not \"" + kind + "\"");
  if (!values_entry)
    check.Fail(kind_entry->first->source(), path + ".do", "do = \"set\" needs \"values\"");
  const toml::table& values = check.Table(*values_entry, path + ".values");
  if (values.empty())
    check.Fail(values_entry->first->source(), path + ".values", "\"values\" is empty");
  action.kind = BulkAction::Kind::kSet;
  std::unordered_map<std::string, std::string> seen;
  for (const Entry& entry : InFileOrder(values)) {
    std::string field_path = path + ".values." + std::string(entry.first->str());
    check.CheckCaseClash(seen, *entry.first, field_path);
    action.values.emplace_back(std::string(entry.first->str()), check.Scalar(entry, field_path));
  }
  return action;
}

void ReadActions(const Checker& check, const toml::table& table, SiteConfig& config) {
  for (const Entry& entry : InFileOrder(table)) {
    const toml::key* key = entry.first;
    std::string_view name = key->str();
    std::string path = "actions." + std::string(name);
    long long number = 0;
    auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), number);
    bool decimal = !name.empty() && name.front() >= '1' && name.front() <= '9' &&
                   ec == std::errc() && end == name.data() + name.size();
    if (!decimal)
      check.Fail(key->source(), path, "an action number is a positive whole number, such as 1");
    config.actions[number] = ReadAction(check, entry, path);
  }
}

}  // namespace

SiteConfig ParseConfig(std::string_view text, const fs::path& file) {
  SiteConfig config;
  config.file = file;
  config.folder = fs::absolute(file).parent_path().lexically_normal();
  config.site_root = config.folder;
  Checker check(file.string());
  std::optional<Entry> database_kind;

  toml::table root;
  try {
    root = toml::parse(text, file.string());
  } catch (const toml::parse_error& e) {
    check.Fail(e.source(), {}, e.description());
  }

  for (const Entry& entry : InFileOrder(root)) {
    const toml::source_region& where = entry.first->source();
    std::string name(entry.first->str());
    if (name == "listen") {
      config.listen = check.Text(entry, name);
      if (!IsListenAddress(config.listen))
        check.Fail(where, name, "expected \"host:port\" with a port from 1 to 65535");
    } else if (name == "locale") {
      config.locale = check.Text(entry, name);
      if (!LooksLikeLanguageTag(config.locale))
        check.Fail(where, name, "expected a language tag such as \"en-US\"");
    } else if (name == "site_root") {
      const std::string& root_text = check.Text(entry, name);
      if (root_text.empty()) check.Fail(where, name, "the site root is an empty path");
      config.site_root = (config.folder / root_text).lexically_normal();
    } else if (name == "max_page_size") {
      if (!entry.second->is_integer()) check.WrongKind(entry, name, "an integer");
      config.max_page_size = entry.second->as_integer()->get();
      if (config.max_page_size < 1) check.Fail(where, name, "the page size must be 1 or more");
    } else if (name == "db_connections") {
      if (!entry.second->is_integer()) check.WrongKind(entry, name, "an integer");
      config.db_connections = entry.second->as_integer()->get();
      if (config.db_connections < 1 || config.db_connections > 10000)
        check.Fail(where, name, "the number of connections must be from 1 to 10000");
    } else if (name == "threads") {
      config.threads = check.Integer(entry, name, 0, 1024);
    } else if (name == "max_page_bytes") {
      config.max_page_bytes = check.Integer(entry, name, 1024, std::int64_t{1} << 40);
    } else if (name == "max_body_bytes") {
      config.max_body_bytes = check.Integer(entry, name, 0, std::int64_t{1} << 34);
    } else if (name == "statement_timeout") {
      if (!entry.second->is_number()) check.WrongKind(entry, name, "a number of seconds");
      config.statement_timeout = entry.second->is_integer()
                                     ? static_cast<double>(entry.second->as_integer()->get())
                                     : entry.second->as_floating_point()->get();
      if (!(config.statement_timeout > 0 && config.statement_timeout <= 86400))
        check.Fail(where, name, "the timeout must be more than 0 and at most 86400 seconds");
    } else if (name == "connect_timeout") {
      if (!entry.second->is_number()) check.WrongKind(entry, name, "a number of seconds");
      config.connect_timeout = entry.second->is_integer()
                                   ? static_cast<double>(entry.second->as_integer()->get())
                                   : entry.second->as_floating_point()->get();
      if (!(config.connect_timeout > 0 && config.connect_timeout <= 3600))
        check.Fail(where, name, "the timeout must be more than 0 and at most 3600 seconds");
    } else if (name == "page_cache_size") {
      config.page_cache_size = check.Integer(entry, name, 1024 * 1024, std::int64_t{1} << 40);
    } else if (name == "mmap_size") {
      config.mmap_size = check.Integer(entry, name, 0, std::int64_t{1} << 40);
    } else if (name == "cookie_secure") {
      if (!entry.second->is_boolean()) check.WrongKind(entry, name, "true or false");
      config.cookie_secure = entry.second->as_boolean()->get();
    } else if (name == "foreign_key_relations") {
      if (!entry.second->is_boolean()) check.WrongKind(entry, name, "true or false");
      config.foreign_key_relations = entry.second->as_boolean()->get();
    } else if (name == "history") {
      if (!entry.second->is_boolean()) check.WrongKind(entry, name, "true or false");
      config.history = entry.second->as_boolean()->get();
    } else if (name == "history_days") {
      config.history_days = check.Integer(entry, name, 1, 1'000'000);
    } else if (name == "public_origin") {
      config.public_origin = check.Text(entry, name);
      if (!IsOrigin(config.public_origin))
        check.Fail(where, name, "expected an origin such as \"https://db.example.com\"");
    } else if (name == "trusted_proxies") {
      if (!entry.second->is_array()) check.WrongKind(entry, name, "an array of addresses");
      for (const toml::node& item : *entry.second->as_array()) {
        const std::string* text = item.is_string() ? &item.as_string()->get() : nullptr;
        if (text == nullptr || !TrustedProxies::Parse(*text))
          check.Fail(where, name,
                     "expected addresses or networks such as \"10.0.0.5\" or \"10.0.0.0/8\"");
        config.trusted_proxies.push_back(*text);
      }
    } else if (name == "max_connections") {
      config.max_connections = check.Integer(entry, name, 0, 10'000'000);
    } else if (name == "max_connections_per_address") {
      config.max_connections_per_address = check.Integer(entry, name, 0, 10'000'000);
    } else if (name == "session_store") {
      database_kind = ReadSessionStore(check, check.Table(entry, name), config);
    } else if (name == "session") {
      ReadSession(check, check.Table(entry, name), config);
    } else if (name == "actions") {
      ReadActions(check, check.Table(entry, name), config);
    } else {
      check.Fail(where, name,
                 "unknown key (expected listen, locale, site_root, max_page_size, db_connections, "
                 "threads, max_page_bytes, max_body_bytes, statement_timeout, connect_timeout, "
                 "page_cache_size, mmap_size, cookie_secure, foreign_key_relations, history, "
                 "history_days, public_origin, trusted_proxies, "
                 "max_connections, max_connections_per_address, [session_store], [session] or "
                 "[actions])");
    }
  }
  if (database_kind) CheckSessionDatabase(check, *database_kind, config);
  return config;
}

SiteConfig LoadConfig(const fs::path& file) {
  std::error_code ec;
  std::ifstream in(file, std::ios::binary);
  if (!in || fs::is_directory(file, ec))
    throw ConfigError(file.string() + ": cannot read the configuration file");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw ConfigError(file.string() + ": cannot read the configuration file");
  return ParseConfig(text, file);
}

std::string SessionDatabase(const SiteConfig& config) {
  for (const auto& [key, value] : config.session)
    if (EqualsIgnoreCase(key, "set_dns")) return value.IsString() ? value.string() : "";
  return "";
}

std::shared_ptr<const Session> SiteSettings(const SiteConfig& config) {
  auto settings = std::make_shared<Session>();
  for (const auto& [key, value] : config.session) settings->SetValue(key, value);
  return settings;
}

void ApplyProcessSettings(const SiteConfig* config,
                          const std::optional<std::string>& locale_override) {
  std::string tag = locale_override ? *locale_override : config ? config->locale : "en-US";
  try {
    Locale::SetCurrent(tag);
  } catch (const ScriptError&) {
    std::string where = !locale_override && config ? config->file.string() + ": " : "";
    throw ConfigError(where + "the locale \"" + tag + "\" is not known");
  }
  if (config != nullptr) adodb::SetDataSourceBase(config->folder.string());
  ProcessLimits limits;
  if (config != nullptr) limits.max_page_size = config->max_page_size;
  SetProcessLimits(limits);
  adodb::PoolLimits pool = adodb::ConnectionPool::Current().limits();
  pool.per_string = config != nullptr && config->db_connections > 0
                        ? static_cast<std::size_t>(config->db_connections)
                        : adodb::PoolLimits{}.per_string;
  adodb::ConnectionPool::Current().set_limits(pool);
  double timeout_seconds = config != nullptr ? config->statement_timeout
                                             : SiteConfig{}.statement_timeout;
  adodb::SetStatementTimeout(std::chrono::milliseconds(std::llround(timeout_seconds * 1000)));
  double connect_seconds =
      config != nullptr ? config->connect_timeout : SiteConfig{}.connect_timeout;
  adodb::SetConnectTimeout(std::chrono::milliseconds(std::llround(connect_seconds * 1000)));
  adodb::sqlite::SqliteMemory memory;
  if (config != nullptr) {
    memory.page_cache = config->page_cache_size;
    memory.mmap_size = config->mmap_size;
  }
  adodb::sqlite::SetSqliteMemory(memory);
}

}  // namespace tabrix::site
