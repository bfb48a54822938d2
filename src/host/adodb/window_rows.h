// The rows of a static read-only cursor, read a window at a time.
//
// Nothing reads the whole result. The query runs inside one read
// transaction (one snapshot) held from Open to Close: moving forward steps
// the statement; a jump re-runs the query from the target row with the
// dialect's offset clause; the count is its own query in the same
// snapshot, made without evaluating the select list where that cannot
// change the count. The connection goes back to the pool on Close.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "host/adodb/connection_pool.h"
#include "host/adodb/row_source.h"

namespace tabrix::adodb {

class WindowRows : public RowSource {
 public:
  // Begins the read transaction, runs `sql` (in the engine's dialect) and
  // stops on its first row. Raises kErrProvider when the query fails; the
  // connection then goes back rolled back.
  WindowRows(PooledConnection connection, std::string sql);
  ~WindowRows() override;

  const std::vector<ColumnInfo>& columns() const override { return columns_; }
  std::int64_t Count() override;
  bool Seek(std::int64_t index) override;
  Variant Value(int column) const override;
  void Close() override;

 private:
  // Runs the query from row `index`; true when that row exists.
  bool OpenAt(std::int64_t index);

  PooledConnection connection_;
  std::string sql_;
  std::vector<ColumnInfo> columns_;
  // The running statement and the index of the row it stands on; no
  // statement once it has run past its last row.
  std::unique_ptr<StatementBackend> statement_;
  std::int64_t statement_row_ = -1;
  std::optional<std::int64_t> count_;
};

}  // namespace tabrix::adodb
