// The rows of a static read-only cursor on PostgreSQL, read through a
// scrollable server-side cursor.
//
// The query is declared as a SCROLL cursor inside the link's read snapshot
// (one REPEATABLE READ transaction from the start to Close, unless a
// transaction is open on the link, whose data it then reads). A jump
// fetches its one row (FETCH ABSOLUTE); going forward fetches the cache
// size's rows at once (FETCH FORWARD n), and a reader that goes on forward
// gets batches that double up to a bound, so reading a result to its end
// costs a few round trips, not one per row. The server computes no row
// nobody asked for (a select list may fail on a row no page shows).
// Given a window at the start (the recordset's cache size, above 1) and no
// open transaction, no cursor is declared: each window of rows is one
// query in the snapshot, limited to the window (list_window.h), so a list
// page's sort keeps only its rows and its per-row work runs for those rows
// alone. The count is its own query in the same
// snapshot, made without evaluating the select list where that cannot
// change it. A cursor declared inside an open transaction is WITH HOLD, so
// the user's commit does not take it away, and is closed by Close; any
// other ends with its snapshot. Every call goes through the link's
// backend, so a fault-injecting wrapper sees them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/adodb/connection_link.h"
#include "host/adodb/list_window.h"
#include "host/adodb/row_source.h"

namespace tabrix::adodb::postgres {

class CursorRows : public RowSource {
 public:
  // Begins the link's read snapshot, declares the cursor over the first
  // statement of `sql` and reads its first row. Raises kErrProvider when
  // the query fails; the snapshot then ends (inside a user transaction, a
  // savepoint keeps that transaction usable).
  CursorRows(std::shared_ptr<ConnectionLink> link, std::string sql, std::int64_t window = 1);
  ~CursorRows() override;

  const std::vector<ColumnInfo>& columns() const override { return columns_; }
  std::int64_t Count() override;
  bool Seek(std::int64_t index) override;
  Variant Value(int column) const override;
  void SetCacheSize(std::int64_t rows) override;
  // Closes the server's cursor and ends the snapshot.
  void Close() override;

 private:
  // Reads row `index` (0-based) and, going forward, the rows after it up to
  // the cache size; fetched_ is empty when there is no such row.
  void Fetch(std::int64_t index);

  std::shared_ptr<ConnectionLink> link_;  // null once closed
  std::string sql_;
  std::string name_;  // the server-side cursor's
  std::int64_t window_ = 0;         // 0: read through the cursor
  std::optional<ListWindow> plan_;  // with a window
  std::vector<ColumnInfo> columns_;
  bool held_ = false;  // WITH HOLD, closed by hand
  // The rows last fetched, the first of them row first_index_, and the
  // current one among them (-1: none).
  std::vector<std::vector<Variant>> fetched_;
  std::int64_t first_index_ = 0;
  std::int64_t row_index_ = -1;
  std::int64_t cache_size_ = 1;
  std::int64_t forward_batch_ = 1;  // grows while the reader goes on forward
  std::optional<std::int64_t> position_ = 0;  // the row FETCH NEXT reads; unknown past the end
  std::optional<std::int64_t> count_;
};

}  // namespace tabrix::adodb::postgres
