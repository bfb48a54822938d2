#include "host/adodb/postgres/pg_cursor_rows.h"

#include <atomic>

#include "host/sql/postgres_dialect.h"
#include "host/sql/query_shape.h"
#include "host/variant_ops.h"

namespace tabrix::adodb::postgres {

namespace {

// Rows read per round trip: a list page's rows, and some to move on with.
constexpr std::int64_t kWindowRows = 100;

std::string NewCursorName() {
  static std::atomic<std::uint64_t> next{0};
  return "tabrix_cursor_" + std::to_string(++next);
}

}  // namespace

CursorRows::CursorRows(std::shared_ptr<ConnectionLink> link, std::string sql)
    : link_(std::move(link)), name_(NewCursorName()) {
  std::vector<std::string_view> statements = sql::SplitStatements(sql);
  sql_ = statements.empty() ? sql : std::string(statements.front());
  bool inside_transaction = link_->backend().InTransaction();
  link_->BeginRead();
  try {
    ConnectionBackend& db = link_->backend();
    std::string declare = "DECLARE " + name_ + " SCROLL CURSOR WITH HOLD FOR " + sql_;
    if (inside_transaction) {
      // A failed statement would abort the user's transaction.
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
    if (!window_.empty()) current_ = 0;
  } catch (...) {
    link_->EndRead();
    link_.reset();
    throw;
  }
}

CursorRows::~CursorRows() { Close(); }

void CursorRows::Fetch(std::int64_t index) {
  ConnectionBackend& db = link_->backend();
  if (position_ != index) {
    db.Execute("MOVE ABSOLUTE " + std::to_string(index) + " IN " + name_);
    position_ = index;
  }
  std::unique_ptr<StatementBackend> fetch =
      db.Prepare("FETCH FORWARD " + std::to_string(kWindowRows) + " FROM " + name_);
  bool has_row = fetch->Step();
  if (columns_.empty()) columns_ = fetch->DescribeColumns();
  window_.clear();
  window_start_ = index;
  for (; has_row; has_row = fetch->Step()) {
    std::vector<Variant> row;
    row.reserve(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i)
      row.push_back(fetch->Value(static_cast<int>(i), columns_[i].type));
    window_.push_back(std::move(row));
  }
  std::int64_t read = static_cast<std::int64_t>(window_.size());
  if (read < kWindowRows) {
    count_ = index + read;  // the fetch ran past the last row
    position_.reset();
  } else {
    position_ = index + read;
  }
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
  std::int64_t window_end = window_start_ + static_cast<std::int64_t>(window_.size());
  if (index < window_start_ || index >= window_end) {
    Fetch(index);
    if (window_.empty()) return false;
  }
  current_ = index;
  return true;
}

Variant CursorRows::Value(int column) const {
  std::int64_t offset = current_ - window_start_;
  if (offset < 0 || offset >= static_cast<std::int64_t>(window_.size()))
    RaiseRowChanged(kRowNotFoundMessage);
  return window_[static_cast<size_t>(offset)].at(static_cast<size_t>(column));
}

void CursorRows::Close() {
  if (!link_) return;
  try {
    if (link_->is_open()) link_->backend().Execute("CLOSE " + name_);
  } catch (...) {
    // Gone with an aborted transaction; the pool resets what stays open.
  }
  link_->EndRead();
  link_.reset();
}

}  // namespace tabrix::adodb::postgres
