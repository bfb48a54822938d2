#include "site/history/history_log.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "host/adodb/connection_link.h"
#include "host/adodb/connection_string.h"
#include "host/error.h"
#include "host/locale/locale.h"
#include "values/row_address.h"

namespace tabrix::site::history {

namespace {

// The advisory lock the servers of one PostgreSQL database take while one
// of them makes the table ("tabrhist").
constexpr std::int64_t kSetupLock = 0x7461627268697374;

// Old rows dropped by one statement; start-up repeats it a bounded number
// of times.
constexpr std::int64_t kDropBatch = 10000;
constexpr int kStartupDropRounds = 1000;

constexpr const char* kSqliteSetup =
    "CREATE TABLE IF NOT EXISTS tabrix_history ("
    "id INTEGER PRIMARY KEY AUTOINCREMENT, "
    "at DATETIME NOT NULL DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now')), "
    "user_name TEXT NOT NULL, table_name TEXT NOT NULL, action TEXT NOT NULL, "
    "row_key TEXT NOT NULL, \"before\" TEXT, \"after\" TEXT); "
    "CREATE INDEX IF NOT EXISTS tabrix_history_row ON tabrix_history (table_name, row_key, id); "
    "CREATE INDEX IF NOT EXISTS tabrix_history_at ON tabrix_history (at)";

constexpr const char* kPostgresSetup =
    "CREATE SCHEMA IF NOT EXISTS tabrix; "
    "CREATE TABLE IF NOT EXISTS tabrix.history ("
    "id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
    "at timestamp NOT NULL DEFAULT (now() AT TIME ZONE 'UTC'), "
    "user_name text NOT NULL, table_name text NOT NULL, action text NOT NULL, "
    "row_key text NOT NULL, \"before\" json, \"after\" json); "
    "CREATE INDEX IF NOT EXISTS history_row ON tabrix.history (table_name, row_key, id); "
    "CREATE INDEX IF NOT EXISTS history_at ON tabrix.history (at)";

// On PostgreSQL "before" and "after" are json, not jsonb: json keeps the
// text as written, so the fields stay in the table's order.

std::string TableSql(bool postgres) { return postgres ? "tabrix.history" : kSqliteTable; }

// A value as plain JSON: null, true/false, a number, or text (money,
// decimals and dates as their invariant text, binary as base64).
Json PlainJson(const Variant& value) {
  Json tagged = VariantToJson(value);
  if (tagged.contains("value")) return tagged["value"];
  if (tagged.contains("base64")) return tagged["base64"];
  return nullptr;
}

Json RowJson(const adodb::TableInfo& table, const std::optional<std::vector<Variant>>& row) {
  if (!row) return nullptr;
  Json object = Json::object();
  for (size_t i = 0; i < table.columns.size() && i < row->size(); ++i)
    object[table.columns[i].name] = PlainJson((*row)[i]);
  return object;
}

// The address the pages give the row: its key's values, or, without a
// key, all of them.
std::string AddressOf(const adodb::TableInfo& table, const std::vector<Variant>& row) {
  std::vector<std::pair<int, Variant>> key;
  for (size_t i = 0; i < table.columns.size() && i < row.size(); ++i)
    if (table.columns[i].key_position > 0) key.emplace_back(table.columns[i].key_position, row[i]);
  std::sort(key.begin(), key.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<Variant> values;
  for (auto& [position, value] : key) values.push_back(std::move(value));
  if (values.empty()) values = row;
  return row_address::OfValues(values).value_or("");
}

bool IsHistoryTable(const adodb::TableRef& ref, bool postgres) {
  if (postgres) return ref.schema == "tabrix" && ref.name == "history";
  return EqualsIgnoreCase(ref.name, kSqliteTable);
}

std::string Text(adodb::StatementBackend& statement, int column) {
  Variant value = statement.Value(column, adodb::kVarWChar);
  return value.IsString() ? value.string() : std::string();
}

Json ParsedJson(const std::string& text) {
  if (text.empty()) return nullptr;
  Json parsed = Json::parse(text, nullptr, false);
  return parsed.is_discarded() ? Json(nullptr) : parsed;
}

std::atomic<std::int64_t> last_drop_minute{0};

std::int64_t NowMinute() {
  return std::chrono::duration_cast<std::chrono::minutes>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

bool IsPostgres(const std::string& connection_string) {
  try {
    return EqualsIgnoreCase(adodb::ConnectionString::Parse(connection_string).provider(),
                            "PostgreSQL");
  } catch (const ScriptError&) {
    return false;
  }
}

bool Exists(adodb::Connection& connection, bool postgres) {
  adodb::TableRef ref;
  ref.schema = postgres ? "tabrix" : "";
  ref.name = postgres ? "history" : kSqliteTable;
  return connection.Link()->backend().DescribeTable(ref).exists;
}

void Prepare(adodb::Connection& connection, bool postgres, std::int64_t days) {
  adodb::ConnectionBackend& db = connection.Link()->backend();
  if (postgres) {
    db.Prepare("SELECT pg_advisory_lock(" + std::to_string(kSetupLock) + ")")->Step();
    try {
      db.Execute(kPostgresSetup);
    } catch (...) {
      db.Prepare("SELECT pg_advisory_unlock_all()")->Step();
      throw;
    }
    db.Prepare("SELECT pg_advisory_unlock_all()")->Step();
  } else {
    db.Execute(kSqliteSetup);
  }
  if (days <= 0) return;
  for (int round = 0; round < kStartupDropRounds; ++round)
    if (DropOld(db, postgres, days, kDropBatch) < kDropBatch) break;
  last_drop_minute = NowMinute();
}

std::int64_t DropOld(adodb::ConnectionBackend& db, bool postgres, std::int64_t days,
                     std::int64_t batch) {
  std::string table = TableSql(postgres);
  std::string cutoff =
      postgres ? "(now() AT TIME ZONE 'UTC') - " + std::to_string(days) + " * interval '1 day'"
               : "strftime('%Y-%m-%d %H:%M:%S', 'now', '-" + std::to_string(days) + " days')";
  return db.Execute("DELETE FROM " + table + " WHERE id IN (SELECT id FROM " + table +
                    " WHERE at < " + cutoff + " ORDER BY id LIMIT " + std::to_string(batch) +
                    ")");
}

void DropOldHourly(const std::string& connection_string, bool postgres, std::int64_t days) {
  if (days <= 0) return;
  std::int64_t now = NowMinute();
  std::int64_t last = last_drop_minute.load();
  // One request of the hour wins the turn; the others go on.
  if (now - last < 60 || !last_drop_minute.compare_exchange_strong(last, now)) return;
  try {
    auto connection = adodb::NewConnection();
    connection->Open(Variant(connection_string));
    DropOld(connection->Link()->backend(), postgres, days, kDropBatch);
    connection->Close();
  } catch (const ScriptError&) {
  }
}

void Recorder::RowWritten(adodb::ConnectionBackend& db, const adodb::RowWrite& write) {
  if (IsHistoryTable(write.table->ref, postgres_)) return;
  std::string action = action_;
  if (action.empty()) {
    switch (write.kind) {
      case adodb::RowWrite::Kind::kInsert: action = "add"; break;
      case adodb::RowWrite::Kind::kUpdate: action = "update"; break;
      case adodb::RowWrite::Kind::kDelete: action = "delete"; break;
    }
  }
  const std::vector<Variant>& row = write.after ? *write.after : *write.before;
  auto json_text = [](const Json& json) {
    return json.is_null() ? Variant::Null() : Variant(DumpJson(json));
  };
  std::string json_param = postgres_ ? "CAST(? AS json)" : "?";
  db.Execute("INSERT INTO " + TableSql(postgres_) +
                 " (user_name, table_name, action, row_key, \"before\", \"after\") "
                 "VALUES (?, ?, ?, ?, " + json_param + ", " + json_param + ")",
             {Variant(user_), Variant(write.table->ref.name), Variant(action),
              Variant(AddressOf(*write.table, row)), json_text(RowJson(*write.table, write.before)),
              json_text(RowJson(*write.table, write.after))});
}

std::vector<Entry> ReadEntries(adodb::Connection& connection, bool postgres,
                               const std::string& table, const std::string& address,
                               std::int64_t limit) {
  adodb::ConnectionBackend& db = connection.Link()->backend();
  std::string at = postgres ? "to_char(at, 'YYYY-MM-DD HH24:MI:SS')" : "at";
  std::string json_text = postgres ? "::text" : "";
  auto query = db.Prepare("SELECT " + at + ", user_name, action, \"before\"" + json_text +
                          ", \"after\"" + json_text + " FROM " + TableSql(postgres) +
                          " WHERE table_name = ? AND row_key = ? ORDER BY id DESC LIMIT " +
                          std::to_string(limit));
  query->Bind(1, Variant(table));
  query->Bind(2, Variant(address));
  std::vector<Entry> entries;
  for (std::int64_t n = 0; n < limit && query->Step(); ++n)
    entries.push_back({Text(*query, 0), Text(*query, 1), Text(*query, 2),
                       ParsedJson(Text(*query, 3)), ParsedJson(Text(*query, 4))});
  return entries;
}

}  // namespace tabrix::site::history
