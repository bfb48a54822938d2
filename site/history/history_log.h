// The change history: one row per record written through the pages (an
// add, an update, a delete, or a record of a bulk action), in the site's
// own table of the site's database, written inside the change's own
// transaction so that a change and its history commit or roll back
// together.
//
// The table is "tabrix_history" on SQLite and "history" in the schema
// "tabrix" on PostgreSQL: id, at (UTC), user_name, table_name, action,
// row_key (the row's address as the pages write it), "before" and "after"
// (JSON objects of field -> value; null for an add's before and a delete's
// after). It is made at start-up, never inside a user's write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/adodb/connection.h"
#include "host/adodb/write_observer.h"
#include "site/variant_json.h"

namespace tabrix::site::history {

// The SQLite table's name; the menu and the drafts never list it.
inline constexpr const char* kSqliteTable = "tabrix_history";

// The most history rows one history page shows.
inline constexpr std::int64_t kPageRows = 200;

// Whether `connection_string` names a PostgreSQL database.
bool IsPostgres(const std::string& connection_string);

// Whether the database `connection` is open on holds a history table.
bool Exists(adodb::Connection& connection, bool postgres);

// Makes the table and its indexes when missing (on PostgreSQL under an
// advisory lock, so servers starting together do not race), then drops the
// rows older than `days` (0: none). Raises the facade's errors.
void Prepare(adodb::Connection& connection, bool postgres, std::int64_t days);

// Drops history rows older than `days`, at most `batch` of them; returns
// how many went.
std::int64_t DropOld(adodb::ConnectionBackend& db, bool postgres, std::int64_t days,
                     std::int64_t batch);

// Drops old rows on `connection_string`'s database when the last drop of
// this process was an hour or more ago; a failure is left for the next
// hour. Never raises.
void DropOldHourly(const std::string& connection_string, bool postgres, std::int64_t days);

// Records each row the thread's keyset recordsets write while installed
// (adodb::ScopedWriteObserver), as `user` did it.
class Recorder : public adodb::WriteObserver {
 public:
  Recorder(std::string user, bool postgres) : user_(std::move(user)), postgres_(postgres) {}
  // The name of the action the next writes record: "" records each as
  // "add", "update" or "delete".
  void set_action(std::string action) { action_ = std::move(action); }
  void RowWritten(adodb::ConnectionBackend& db, const adodb::RowWrite& write) override;

 private:
  std::string user_;
  bool postgres_;
  std::string action_;
};

struct Entry {
  std::string at;      // "YYYY-MM-DD HH:MM:SS", UTC
  std::string user;
  std::string action;
  Json before;         // an object, or null
  Json after;
};

// The newest entries of the row `address` of `table`, newest first, at
// most `limit` of them.
std::vector<Entry> ReadEntries(adodb::Connection& connection, bool postgres,
                               const std::string& table, const std::string& address,
                               std::int64_t limit);

}  // namespace tabrix::site::history
