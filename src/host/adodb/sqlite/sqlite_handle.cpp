#include "host/adodb/sqlite/sqlite_handle.h"

#include <string>
#include <utility>

#include "host/adodb/connection.h"

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

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  return text == nullptr ? std::string()
                         : std::string(text, sqlite3_column_bytes(statement, column));
}

void BindText(sqlite3_stmt* statement, int position, const std::string& text) {
  sqlite3_bind_text(statement, position, text.data(), static_cast<int>(text.size()),
                    SQLITE_TRANSIENT);
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

namespace {

// The step running on this thread and its deadline; null between steps.
struct RunningStep {
  Deadline deadline;
  bool expired = false;
};
thread_local RunningStep* running_step = nullptr;

// Progress handler: a nonzero answer interrupts the step (SQLITE_INTERRUPT).
int InterruptPastDeadline(void*) {
  RunningStep* step = running_step;
  if (step == nullptr || std::chrono::steady_clock::now() < step->deadline) return 0;
  step->expired = true;
  return 1;
}

// How many virtual machine instructions run between two looks at the clock:
// a look costs far less than the instructions, and a step stops within a
// millisecond or so of its deadline.
constexpr int kInstructionsPerCheck = 1000;

}  // namespace

Deadline DeadlineFromNow() {
  std::chrono::milliseconds timeout = StatementTimeout();
  if (timeout.count() <= 0) return Deadline::max();
  return std::chrono::steady_clock::now() + timeout;
}

void WatchDeadlines(sqlite3* db) {
  sqlite3_progress_handler(db, kInstructionsPerCheck, InterruptPastDeadline, nullptr);
}

bool StepOrRaise(sqlite3* db, sqlite3_stmt* statement, Deadline deadline) {
  RunningStep step{deadline};
  RunningStep* outer = std::exchange(running_step, &step);
  int rc = sqlite3_step(statement);
  running_step = outer;
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  if (step.expired && (rc & 0xff) == SQLITE_INTERRUPT) {
    NativeError native = SqliteNative(rc);
    native.failure = DbFailure::kTimeout;
    RaiseProviderError("the statement ran past the statement timeout of " +
                           std::to_string(StatementTimeout().count()) + " ms and was interrupted",
                       std::move(native));
  }
  RaiseSqliteError(db);
}

bool StepOrRaise(sqlite3* db, sqlite3_stmt* statement) {
  return StepOrRaise(db, statement, DeadlineFromNow());
}

}  // namespace tabrix::adodb::sqlite
