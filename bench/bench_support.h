// Helpers the benchmarks share: building their SQLite fixtures, reading one
// PostgreSQL value and a PostgreSQL address.
#pragma once

#include <libpq-fe.h>
#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tabrix::bench {

// Runs `script` on the SQLite file `file` (made when missing), then leaves
// the file in WAL mode, as served databases mostly are (the provider keeps
// a file's journal mode); raises with `what` and the engine's message when
// a statement fails.
inline void RunSqliteScript(const std::filesystem::path& file, const std::string& script,
                            const std::string& what) {
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw std::runtime_error(what + ": " + message);
  }
  char* error = nullptr;
  std::string all = script + ";PRAGMA journal_mode=WAL;";
  if (sqlite3_exec(db, all.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : "unknown";
    sqlite3_free(error);
    sqlite3_close(db);
    throw std::runtime_error(what + ": " + message);
  }
  sqlite3_close(db);
}

// The first value of the first row of `sql` on `db` (empty when there is
// none); raises with the server's message when the statement fails.
inline std::string PgValue(PGconn* db, const std::string& sql) {
  PGresult* result = PQexec(db, sql.c_str());
  ExecStatusType status = PQresultStatus(result);
  std::string value = PQntuples(result) > 0 ? PQgetvalue(result, 0, 0) : "";
  std::string message = PQresultErrorMessage(result);
  PQclear(result);
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
    throw std::runtime_error("PostgreSQL: " + message);
  return value;
}

// The value of `key` in a libpq connection string; empty when it has none.
inline std::string ConninfoValue(const std::string& conninfo, const char* key) {
  PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), nullptr);
  std::string value;
  for (PQconninfoOption* o = options; o != nullptr && o->keyword != nullptr; ++o)
    if (std::string(o->keyword) == key && o->val != nullptr) value = o->val;
  PQconninfoFree(options);
  return value;
}

}  // namespace tabrix::bench
