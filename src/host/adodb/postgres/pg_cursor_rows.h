// The rows of a static read-only cursor on PostgreSQL, read through a
// scrollable server-side cursor a window at a time.
//
// The query is declared as a SCROLL cursor inside the link's read snapshot
// (one REPEATABLE READ transaction from the start to Close, unless a user
// transaction is open, whose data it then reads). A window of rows is
// fetched with FETCH FORWARD from the position MOVE ABSOLUTE sets, so a
// jump to a middle page reads that page's rows only; the count is its own
// query in the same snapshot, made without evaluating the select list
// where that cannot change it. The cursor is WITH HOLD, so a commit on the
// link while it is open does not take it away. Every call goes through the
// link's backend, so a fault-injecting wrapper sees them.
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
  // statement of `sql` and reads the first window. Raises kErrProvider when
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
  // Reads the window that starts at row `index`.
  void Fetch(std::int64_t index);

  std::shared_ptr<ConnectionLink> link_;  // null once closed
  std::string sql_;
  std::string name_;  // the server-side cursor's
  std::vector<ColumnInfo> columns_;
  std::vector<std::vector<Variant>> window_;
  std::int64_t window_start_ = 0;
  std::optional<std::int64_t> position_ = 0;  // rows before the cursor; unknown past the end
  std::int64_t current_ = -1;
  std::optional<std::int64_t> count_;
};

}  // namespace tabrix::adodb::postgres
