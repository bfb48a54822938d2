// Small helpers over the SQLite C API shared by the SQLite provider's
// classes: owned statement handles and errors raised with SQLite's message.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "host/error.h"

namespace tabrix::adodb::sqlite {

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// The engine-neutral kind of an SQLite (extended) result code, and the
// native error that carries both.
DbFailure SqliteFailure(int extended_code);
NativeError SqliteNative(int extended_code);

// Raises kErrProvider with `db`'s last message ("no such table: Foo") and
// its extended result code.
[[noreturn]] void RaiseSqliteError(sqlite3* db);
// Raises kErrProvider for a text that holds no statement (blanks only).
[[noreturn]] void RaiseNoStatement();

// SQLite reads text only up to a NUL byte: raises 3001 when `sql` holds
// one, so that no statement runs cut short.
void RefuseNulInSql(std::string_view sql);

// Prepares the first statement of `sql`; raises 3001 for a NUL byte in it,
// kErrProvider when SQLite refuses it or when the text holds no statement.
StatementHandle PrepareOrRaise(sqlite3* db, std::string_view sql);

// The text of `column` in the current row ("" for Null), of any length.
std::string ColumnText(sqlite3_stmt* statement, int column);
// Binds `text` to the parameter at `position`, copied.
void BindText(sqlite3_stmt* statement, int position, const std::string& text);

// The statement timeout (adodb::StatementTimeout): a statement gets a
// deadline when it starts, and a step still running at the deadline is
// interrupted. The deadline is checked by a progress handler on the handle
// while a step runs on the calling thread; statements the provider runs
// for itself (BEGIN, COMMIT, ROLLBACK) have none and are never interrupted.
using Deadline = std::chrono::steady_clock::time_point;
// The deadline of a statement that starts now; Deadline::max() when no
// timeout is set.
Deadline DeadlineFromNow();
// Installs the progress handler on a newly opened `db`.
void WatchDeadlines(sqlite3* db);

// Steps `statement`: true for a row, false when done; raises otherwise,
// with DbFailure::kTimeout when the step ran past `deadline`.
bool StepOrRaise(sqlite3* db, sqlite3_stmt* statement, Deadline deadline);
// The same for a step that gets the whole timeout from now.
bool StepOrRaise(sqlite3* db, sqlite3_stmt* statement);

}  // namespace tabrix::adodb::sqlite
