#include "host/adodb/postgres/pg_cursor_rows.h"

#include <atomic>

#include "host/sql/postgres_dialect.h"
#include "host/sql/query_shape.h"
#include "host/variant_ops.h"

namespace tabrix::adodb::postgres {

namespace {

std::string NewCursorName() {
  static std::atomic<std::uint64_t> next{0};
  return "tabrix_cursor_" + std::to_string(++next);
}

}  // namespace

CursorRows::CursorRows(std::shared_ptr<ConnectionLink> link, std::string sql)
    : link_(std::move(link)), name_(NewCursorName()) {
  std::vector<std::string_view> statements = sql::SplitStatements(sql);
  sql_ = statements.empty() ? sql : std::string(statements.front());
  // Inside an open transaction the cursor may outlive it (the user's commit)
  // and a failed declaration would abort it: a savepoint guards it, and the
  // cursor is held and closed by hand. Otherwise it ends with the snapshot.
  held_ = link_->backend().InTransaction();
  link_->BeginRead();
  try {
    ConnectionBackend& db = link_->backend();
    std::string declare = "DECLARE " + name_ + " SCROLL CURSOR" +
                          (held_ ? " WITH HOLD" : "") + " FOR " + sql_;
    if (held_) {
      std::string savepoint = name_ + "_declare";
      db.Savepoint(savepoint);
      try {
        db.Execute(declare);
      } catch (...) {
        try {
          db.RollbackToSavepoint(savepoint);
          db.ReleaseSavepoint(savepoint);
        } catch (...) {
          // The first failure is the one to report.
        }
        throw;
      }
      db.ReleaseSavepoint(savepoint);
    } else {
      db.Execute(declare);
    }
    Fetch(0);
  } catch (...) {
    link_->EndRead();
    link_.reset();
    throw;
  }
}

CursorRows::~CursorRows() { Close(); }

void CursorRows::Fetch(std::int64_t index) {
  // One row a round trip: the server computes no row the caller does not
  // ask for (a select list may fail on a row no page shows).
  bool next = position_ && *position_ == index;
  std::unique_ptr<StatementBackend> fetch = link_->backend().Prepare(
      next ? "FETCH NEXT FROM " + name_
           : "FETCH ABSOLUTE " + std::to_string(index + 1) + " FROM " + name_);
  bool has_row = fetch->Step();
  if (columns_.empty()) columns_ = fetch->DescribeColumns();
  row_.clear();
  if (!has_row) {
    if (next || index == 0) count_ = index;  // the row before it was the last
    position_.reset();
    row_index_ = -1;
    return;
  }
  row_.reserve(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i)
    row_.push_back(fetch->Value(static_cast<int>(i), columns_[i].type));
  row_index_ = index;
  position_ = index + 1;
}

std::int64_t CursorRows::Count() {
  if (count_) return *count_;
  ConnectionBackend& db = link_->backend();
  std::optional<std::string> fast = sql::FastCountQuery(sql_);
  std::unique_ptr<StatementBackend> counter = db.Prepare(fast ? *fast : sql::CountQuery(sql_));
  if (!counter->Step())
    RaiseProviderError("the count query returned no row", {"", "", DbFailure::kOther});
  count_ = ToLong(counter->Value(0, 20));
  return *count_;
}

bool CursorRows::Seek(std::int64_t index) {
  if (count_ && index >= *count_) return false;
  if (index != row_index_) {
    Fetch(index);
    if (row_index_ != index) return false;
  }
  return true;
}

Variant CursorRows::Value(int column) const {
  if (row_index_ < 0) RaiseRowChanged(kRowNotFoundMessage);
  return row_.at(static_cast<size_t>(column));
}

void CursorRows::Close() {
  if (!link_) return;
  if (held_) {
    try {
      if (link_->is_open()) link_->backend().Execute("CLOSE " + name_);
    } catch (...) {
      // Gone with an aborted transaction; the pool resets what stays open.
    }
  }
  link_->EndRead();
  link_.reset();
}

}  // namespace tabrix::adodb::postgres
