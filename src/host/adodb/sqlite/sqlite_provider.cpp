#include "host/adodb/sqlite/sqlite_provider.h"

#include <sqlite3.h>

#include <filesystem>

#include "host/adodb/connection.h"
#include "host/adodb/sqlite/sqlite_connection.h"
#include "host/adodb/sqlite/sqlite_handle.h"
#include "host/adodb/sqlite/sqlite_like.h"
#include "host/adodb/sqlite/sqlite_memory.h"

namespace tabrix::adodb::sqlite {

namespace {

constexpr int kBusyTimeoutMs = 5000;

[[noreturn]] void RaiseOpenError(sqlite3* db, int rc, const std::string& path) {
  std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  int code = db != nullptr ? sqlite3_extended_errcode(db) : rc;
  sqlite3_close_v2(db);
  NativeError native = SqliteNative(code);
  // Whatever SQLite says, a database that cannot be opened is no link.
  native.failure = DbFailure::kConnection;
  std::error_code ignored;
  if ((code & 0xff) == SQLITE_CANTOPEN && !std::filesystem::exists(path, ignored))
    RaiseProviderError("the database file " + path + " does not exist", std::move(native));
  RaiseProviderError(message + ": " + path, std::move(native));
}

// The journal mode the connection string asks for ("Journal Mode"), in
// SQLite's lower-case spelling; empty when it asks for none. Raises 3001
// for a mode SQLite has not, or one that would lose data on a crash (OFF).
std::string AskedJournalMode(const ConnectionString& parts) {
  std::optional<std::string> asked = parts.Get("journal mode");
  if (!asked) return "";
  std::string mode;
  for (char c : *asked) mode += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  for (const char* known : {"delete", "truncate", "persist", "memory", "wal"})
    if (mode == known) return mode;
  RaiseError(kErrAdoArguments, "the connection string's Journal Mode is '" + *asked +
                                   "': it takes DELETE, TRUNCATE, PERSIST, MEMORY or WAL");
}

std::string JournalMode(sqlite3* db, const std::string& statement, const std::string& path) {
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db, statement.c_str(), -1, &raw, nullptr);
  StatementHandle pragma(raw);
  if (rc == SQLITE_OK) rc = sqlite3_step(pragma.get());
  if (rc != SQLITE_ROW) RaiseOpenError(db, rc, path);
  const char* mode = reinterpret_cast<const char*>(sqlite3_column_text(pragma.get(), 0));
  return mode == nullptr ? "" : mode;
}

// Puts the database in `mode` when it is in another; the mode of a file
// (WAL) stays with it after the connection closes.
void SetJournalMode(sqlite3* db, const std::string& mode, const std::string& path) {
  if (JournalMode(db, "PRAGMA main.journal_mode", path) == mode) return;
  std::string now = JournalMode(db, "PRAGMA main.journal_mode=" + mode, path);
  if (now == mode) return;
  sqlite3_close_v2(db);
  RaiseProviderError("the database " + path + " stays in journal mode " + now +
                         ": Journal Mode=" + mode + " could not be applied",
                     {"SQLite", std::to_string(SQLITE_ERROR), DbFailure::kConnection});
}

}  // namespace

std::unique_ptr<ConnectionBackend> SqliteProvider::Connect(const ConnectionString& parts) const {
  std::optional<std::string> source = parts.Get("data source");
  if (!source || source->empty())
    RaiseError(kErrAdoArguments,
               "malformed connection string '" + parts.redacted_text() + "': no Data Source is named");
  bool read_only = ReadOnlyMode(parts);
  std::string journal_mode = AskedJournalMode(parts);
  if (read_only && !journal_mode.empty())
    RaiseError(kErrAdoArguments,
               "a read-only connection (Mode=Read) cannot set the Journal Mode of its database");
  std::filesystem::path path(*source);
  if (path.is_relative() && !DataSourceBase().empty()) path = DataSourceBase() / path;
  std::string path_text = path.string();

  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path_text.c_str(), &db,
                           read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) RaiseOpenError(db, rc, path_text);
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // The first statement proves the file is a database: it reads the header.
  rc = sqlite3_exec(db, "PRAGMA main.schema_version", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) RaiseOpenError(db, rc, path_text);
  // The journal mode is the database's own: changed only when asked.
  if (!journal_mode.empty()) SetJournalMode(db, journal_mode, path_text);
  rc = ApplySqliteMemory(db);
  if (rc != SQLITE_OK) RaiseOpenError(db, rc, path_text);
  rc = RegisterFoldingLike(db);
  if (rc != SQLITE_OK) RaiseOpenError(db, rc, path_text);
  WatchDeadlines(db);
  return std::make_unique<SqliteConnection>(db);
}

}  // namespace tabrix::adodb::sqlite
