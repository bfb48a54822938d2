// The rows of a static read-only cursor, read a window at a time: the row
// source SQLite's backend makes for a static cursor.
//
// Nothing reads the whole result. The query runs inside the link's read
// snapshot, held from the start to Close: moving forward steps the
// statement; a jump re-runs the query from the target row with the
// dialect's offset clause. Given a window (the rows a caller reads at
// once, its cache size), each run is limited to the window: a sort then
// keeps only the window's rows, and a list query computes its per-row
// sub-selects for those rows only (list_window.h), its order made
// total by the table's key. The count is its own query in the same
// snapshot, made without evaluating the select list where that cannot
// change the count. One result in flight: the running statement is put
// down before the count runs, and the window opens again where it was.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "host/adodb/connection_link.h"
#include "host/adodb/list_window.h"
#include "host/adodb/row_source.h"

namespace tabrix::adodb {

class WindowRows : public RowSource {
 public:
  // Begins the link's read snapshot, runs `sql` (in the engine's dialect)
  // and stops on its first row; `window` above 1 limits each run to that
  // many rows. Raises kErrProvider when the query fails; the snapshot then
  // ends.
  WindowRows(std::shared_ptr<ConnectionLink> link, std::string sql, std::int64_t window = 1);
  ~WindowRows() override;

  const std::vector<ColumnInfo>& columns() const override { return columns_; }
  std::int64_t Count() override;
  bool Seek(std::int64_t index) override;
  Variant Value(int column) const override;
  void Close() override;

 private:
  // Runs the query from row `index`; true when that row exists.
  bool OpenAt(std::int64_t index) const;
  // The query from row `index`, limited to the window when there is one,
  // and the row that window ends before (-1: none).
  std::string QueryFrom(std::int64_t index) const;
  std::int64_t WindowEnd(std::int64_t index) const;

  std::shared_ptr<ConnectionLink> link_;  // null once closed
  std::string sql_;
  std::int64_t window_ = 0;  // 0: each run goes to the end
  std::optional<ListWindow> plan_;  // with a window
  std::vector<ColumnInfo> columns_;
  // The running statement and the index of the row it stands on; no
  // statement once it has run past its last row or the count put it down.
  // Reading a value opens it again, so both change under const.
  mutable std::unique_ptr<StatementBackend> statement_;
  mutable std::int64_t statement_row_ = -1;
  mutable std::int64_t statement_end_ = -1;  // the row its window ends before; -1: none
  std::int64_t current_ = -1;  // the row the last successful Seek made current
  std::optional<std::int64_t> count_;
};

}  // namespace tabrix::adodb
