#include "host/adodb/window_rows.h"

#include "host/sql/query_shape.h"
#include "host/variant_ops.h"

namespace tabrix::adodb {

WindowRows::WindowRows(std::shared_ptr<ConnectionLink> link, std::string sql, std::int64_t window)
    : link_(std::move(link)), sql_(std::move(sql)), window_(window > 1 ? window : 0) {
  link_->BeginRead();
  try {
    if (window_ > 0) plan_.emplace(link_->backend(), sql_);
    statement_ = link_->backend().Prepare(QueryFrom(0));
    statement_end_ = WindowEnd(0);
    bool has_row = statement_->Step();
    columns_ = statement_->DescribeColumns();
    if (has_row) {
      statement_row_ = current_ = 0;
    } else {
      statement_.reset();
      count_ = 0;
    }
  } catch (...) {
    statement_.reset();
    link_->EndRead();
    throw;
  }
}

WindowRows::~WindowRows() { Close(); }

std::int64_t WindowRows::Count() {
  if (count_) return *count_;
  // A count the connection made before in the same data leaves the window
  // running; a new one is a result of its own: the window's statement goes
  // first, and the next Seek opens the window again.
  CachedCount cached = FindCachedCount(link_->backend(), sql_);
  if (cached.count) return *(count_ = cached.count);
  statement_.reset();
  count_ = CountQueryRows(link_->backend(), sql_, cached.token);
  return *count_;
}

bool WindowRows::Seek(std::int64_t index) {
  if (count_ && index >= *count_) return false;
  if (statement_ && index == statement_row_) {
    current_ = index;
    return true;
  }
  if (statement_ && index == statement_row_ + 1 && index != statement_end_) {
    if (statement_->Step()) {
      statement_row_ = current_ = index;
      return true;
    }
    count_ = index;  // stepped past the last row: the count is known now
    statement_.reset();
    return false;
  }
  if (!OpenAt(index)) return false;
  current_ = index;
  return true;
}

bool WindowRows::OpenAt(std::int64_t index) const {
  statement_.reset();
  std::unique_ptr<StatementBackend> statement = link_->backend().Prepare(QueryFrom(index));
  if (!statement->Step()) return false;
  statement_ = std::move(statement);
  statement_row_ = index;
  statement_end_ = WindowEnd(index);
  return true;
}

std::string WindowRows::QueryFrom(std::int64_t index) const {
  if (plan_) return plan_->RowsFrom(index, window_);
  return index == 0 ? sql_ : sql::WindowQuery(sql_, index, link_->backend().dialect());
}

std::int64_t WindowRows::WindowEnd(std::int64_t index) const { return plan_ ? index + window_ : -1; }

Variant WindowRows::Value(int column) const {
  if ((!statement_ || statement_row_ != current_) && !OpenAt(current_))
    RaiseRowChanged(kRowNotFoundMessage);  // only when the snapshot was given up
  return statement_->Value(column, columns_.at(static_cast<size_t>(column)).type);
}

void WindowRows::Close() {
  if (!link_) return;
  statement_.reset();
  link_->EndRead();
  link_.reset();
}

}  // namespace tabrix::adodb
