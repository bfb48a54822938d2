#include "host/adodb/postgres/pg_cursor_rows.h"

#include <algorithm>
#include <atomic>

#include "host/sql/postgres_dialect.h"
#include "host/sql/query_shape.h"
#include "host/variant_ops.h"

namespace tabrix::adodb::postgres {

namespace {

// What one fetch holds at most, whatever a caller asks.
constexpr std::int64_t kMostRows = 10000;
// The batch a reader going on forward grows to.
constexpr std::int64_t kMostForwardBatch = 1000;

std::string NewCursorName() {
  static std::atomic<std::uint64_t> next{0};
  return "tabrix_cursor_" + std::to_string(++next);
}

}  // namespace

CursorRows::CursorRows(std::shared_ptr<ConnectionLink> link, std::string sql, std::int64_t window)
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
    if (window > 1 && !held_) {
      // A failed window query aborts only the snapshot's own transaction.
      window_ = window < kMostRows ? window : kMostRows;
      plan_.emplace(db, sql_);
      Fetch(0);
      return;
    }
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
  bool next = !plan_ && position_ && *position_ == index;
  std::int64_t wanted = plan_ ? window_ : next ? std::max(cache_size_, forward_batch_) : 1;
  if (next) forward_batch_ = std::min(wanted * 2, std::max(cache_size_, kMostForwardBatch));
  std::unique_ptr<StatementBackend> fetch = link_->backend().Prepare(
      plan_  ? plan_->RowsFrom(index, window_)
      : next ? "FETCH FORWARD " + std::to_string(wanted) + " FROM " + name_
             : "FETCH ABSOLUTE " + std::to_string(index + 1) + " FROM " + name_);
  fetched_.clear();
  row_index_ = -1;
  first_index_ = index;
  while (static_cast<std::int64_t>(fetched_.size()) < wanted && fetch->Step()) {
    if (columns_.empty()) columns_ = fetch->DescribeColumns();
    std::vector<Variant>& row = fetched_.emplace_back();
    row.reserve(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i)
      row.push_back(fetch->Value(static_cast<int>(i), columns_[i].type));
  }
  if (columns_.empty()) columns_ = fetch->DescribeColumns();
  std::int64_t got = static_cast<std::int64_t>(fetched_.size());
  // Going forward, fewer rows than asked for means the last was among them;
  // so does a short window.
  if ((next || index == 0 || (plan_ && got > 0)) && got < wanted) count_ = index + got;
  if (got == 0) {
    position_.reset();
    return;
  }
  row_index_ = index;
  position_ = index + got;
}

std::int64_t CursorRows::Count() {
  if (count_) return *count_;
  CachedCount cached = FindCachedCount(link_->backend(), sql_);
  count_ = cached.count ? *cached.count : CountQueryRows(link_->backend(), sql_, cached.token);
  return *count_;
}

bool CursorRows::Seek(std::int64_t index) {
  if (count_ && index >= *count_) return false;
  if (index >= first_index_ && index - first_index_ < static_cast<std::int64_t>(fetched_.size())) {
    row_index_ = index;
    return true;
  }
  Fetch(index);
  return row_index_ == index;
}

Variant CursorRows::Value(int column) const {
  if (row_index_ < 0) RaiseRowChanged(kRowNotFoundMessage);
  return fetched_.at(static_cast<size_t>(row_index_ - first_index_)).at(static_cast<size_t>(column));
}

void CursorRows::SetCacheSize(std::int64_t rows) {
  // A page is bounded by the site's page size; this bounds what one fetch
  // holds whatever a caller asks.
  cache_size_ = rows < 1 ? 1 : rows > kMostRows ? kMostRows : rows;
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
