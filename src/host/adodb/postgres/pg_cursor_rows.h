// The rows of a static read-only cursor on PostgreSQL, read through a
// scrollable server-side cursor a row at a time.
//
// The query is declared as a SCROLL cursor inside the link's read snapshot
// (one REPEATABLE READ transaction from the start to Close, unless a
// transaction is open on the link, whose data it then reads). Rows are
// fetched one at a time, FETCH NEXT going forward and FETCH ABSOLUTE for a
// jump, so a middle page reads that page's rows only and the server
// computes no row nobody asked for; the count is its own query in the same
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
#include "host/adodb/row_source.h"

namespace tabrix::adodb::postgres {

class CursorRows : public RowSource {
 public:
  // Begins the link's read snapshot, declares the cursor over the first
  // statement of `sql` and reads its first row. Raises kErrProvider when
  // the query fails; the snapshot then ends (inside a user transaction, a
  // savepoint keeps that transaction usable).
  CursorRows(std::shared_ptr<ConnectionLink> link, std::string sql);
  ~CursorRows() override;

  const std::vector<ColumnInfo>& columns() const override { return columns_; }
  std::int64_t Count() override;
  bool Seek(std::int64_t index) override;
  Variant Value(int column) const override;
  // Closes the server's cursor and ends the snapshot.
  void Close() override;

 private:
  // Reads row `index` (0-based); row_index_ is -1 when there is none.
  void Fetch(std::int64_t index);

  std::shared_ptr<ConnectionLink> link_;  // null once closed
  std::string sql_;
  std::string name_;  // the server-side cursor's
  std::vector<ColumnInfo> columns_;
  bool held_ = false;  // WITH HOLD, closed by hand
  std::vector<Variant> row_;  // the row last fetched
  std::int64_t row_index_ = -1;
  std::optional<std::int64_t> position_ = 0;  // the row FETCH NEXT reads; unknown past the end
  std::optional<std::int64_t> count_;
};

}  // namespace tabrix::adodb::postgres
