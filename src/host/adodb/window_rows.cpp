#include "host/adodb/window_rows.h"

#include "host/sql/query_shape.h"
#include "host/variant_ops.h"

namespace tabrix::adodb {

WindowRows::WindowRows(PooledConnection connection, std::string sql)
    : connection_(std::move(connection)), sql_(std::move(sql)) {
  connection_->BeginRead();
  statement_ = connection_->Prepare(sql_);
  bool has_row = statement_->Step();
  columns_ = statement_->DescribeColumns();
  if (has_row) {
    statement_row_ = 0;
  } else {
    statement_.reset();
    count_ = 0;
  }
}

WindowRows::~WindowRows() {
  try {
    Close();
  } catch (...) {
    // The pool rolls back a connection it gets back inside a transaction.
  }
}

std::int64_t WindowRows::Count() {
  if (count_) return *count_;
  std::unique_ptr<StatementBackend> counter;
  if (auto fast = sql::FastCountQuery(sql_)) {
    try {
      counter = connection_->Prepare(*fast);
    } catch (const ScriptError&) {
      // The engine may let WHERE name a select-list alias; count it whole.
    }
  }
  if (!counter) counter = connection_->Prepare(sql::CountQuery(sql_));
  if (!counter->Step()) throw ScriptError(kErrProvider, "the count query returned no row");
  count_ = ToLong(counter->Value(0, 20));
  return *count_;
}

bool WindowRows::Seek(std::int64_t index) {
  if (count_ && index >= *count_) return false;
  if (statement_ && index == statement_row_) return true;
  if (statement_ && index == statement_row_ + 1) {
    if (statement_->Step()) {
      statement_row_ = index;
      return true;
    }
    count_ = index;  // stepped past the last row: the count is known now
    statement_.reset();
    return false;
  }
  return OpenAt(index);
}

bool WindowRows::OpenAt(std::int64_t index) {
  statement_.reset();
  std::unique_ptr<StatementBackend> statement =
      connection_->Prepare(sql::WindowQuery(sql_, index, connection_->dialect()));
  if (!statement->Step()) return false;
  statement_ = std::move(statement);
  statement_row_ = index;
  return true;
}

Variant WindowRows::Value(int column) const {
  return statement_->Value(column, columns_.at(static_cast<size_t>(column)).type);
}

void WindowRows::Close() {
  if (!connection_) return;
  statement_.reset();
  if (connection_->InTransaction()) connection_->Commit();
  connection_.Release();
}

}  // namespace tabrix::adodb
