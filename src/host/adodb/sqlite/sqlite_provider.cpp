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
  RaiseProviderError(message + ": " + path, std::move(native));
}

}  // namespace

std::unique_ptr<ConnectionBackend> SqliteProvider::Connect(const ConnectionString& parts) const {
  std::optional<std::string> source = parts.Get("data source");
  if (!source || source->empty())
    RaiseError(kErrAdoArguments,
               "malformed connection string '" + parts.redacted_text() + "': no Data Source is named");
  std::filesystem::path path(*source);
  if (path.is_relative() && !DataSourceBase().empty()) path = DataSourceBase() / path;
  std::string path_text = path.string();

  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path_text.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) RaiseOpenError(db, rc, path_text);
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // The first statement also proves the file is a database.
  rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  // A read-only file keeps its journal mode and is still usable for reading.
  if (rc != SQLITE_OK && (rc & 0xff) != SQLITE_READONLY) RaiseOpenError(db, rc, path_text);
  rc = ApplySqliteMemory(db);
  if (rc != SQLITE_OK) RaiseOpenError(db, rc, path_text);
  rc = RegisterFoldingLike(db);
  if (rc != SQLITE_OK) RaiseOpenError(db, rc, path_text);
  WatchDeadlines(db);
  return std::make_unique<SqliteConnection>(db);
}

}  // namespace tabrix::adodb::sqlite
