// Helpers the benchmarks share: building their SQLite fixtures and reading
// a PostgreSQL address.
#pragma once

#include <libpq-fe.h>
#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tabrix::bench {

// Runs `script` on the SQLite file `file` (made when missing); raises with
// `what` and the engine's message when a statement fails.
inline void RunSqliteScript(const std::filesystem::path& file, const std::string& script,
                            const std::string& what) {
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw std::runtime_error(what + ": " + message);
  }
  char* error = nullptr;
  if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : "unknown";
    sqlite3_free(error);
    sqlite3_close(db);
    throw std::runtime_error(what + ": " + message);
  }
  sqlite3_close(db);
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
