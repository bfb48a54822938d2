#include "host/adodb/sqlite/sqlite_handle.h"

#include <string>

#include "host/error.h"

namespace tabrix::adodb::sqlite {

void RaiseSqliteError(sqlite3* db) { throw ScriptError(kErrProvider, sqlite3_errmsg(db)); }

void RefuseNulInSql(std::string_view sql) {
  size_t nul = sql.find('\0');
  if (nul != std::string_view::npos)
    RaiseError(kErrAdoArguments,
               "the SQL text holds a NUL byte (at offset " + std::to_string(nul) + ")");
}

StatementHandle PrepareOrRaise(sqlite3* db, std::string_view sql) {
  RefuseNulInSql(sql);
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr);
  StatementHandle statement(raw);
  if (rc != SQLITE_OK) RaiseSqliteError(db);
  if (!statement) throw ScriptError(kErrProvider, "the SQL text holds no statement");
  return statement;
}

bool StepOrRaise(sqlite3* db, sqlite3_stmt* statement) {
  int rc = sqlite3_step(statement);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  RaiseSqliteError(db);
}

}  // namespace tabrix::adodb::sqlite
