#include "host/adodb/sqlite/sqlite_handle.h"

#include <string>

#include "host/error.h"

namespace tabrix::adodb::sqlite {

DbFailure SqliteFailure(int extended_code) {
  switch (extended_code & 0xff) {
    case SQLITE_CONSTRAINT: return DbFailure::kConstraint;
    case SQLITE_BUSY: case SQLITE_LOCKED: return DbFailure::kBusy;
    case SQLITE_CANTOPEN: case SQLITE_NOTADB: case SQLITE_CORRUPT: case SQLITE_IOERR:
    case SQLITE_PERM: case SQLITE_READONLY:
      return DbFailure::kConnection;
    case SQLITE_ERROR: case SQLITE_RANGE: case SQLITE_MISMATCH: case SQLITE_TOOBIG:
      return DbFailure::kStatement;
    default: return DbFailure::kOther;
  }
}

NativeError SqliteNative(int extended_code) {
  return {"SQLite", std::to_string(extended_code), SqliteFailure(extended_code)};
}

void RaiseSqliteError(sqlite3* db) {
  RaiseProviderError(sqlite3_errmsg(db), SqliteNative(sqlite3_extended_errcode(db)));
}

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
  if (!statement) RaiseNoStatement();
  return statement;
}

void RaiseNoStatement() {
  RaiseProviderError("the SQL text holds no statement", SqliteNative(SQLITE_ERROR));
}

bool StepOrRaise(sqlite3* db, sqlite3_stmt* statement) {
  int rc = sqlite3_step(statement);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  RaiseSqliteError(db);
}

}  // namespace tabrix::adodb::sqlite
