// How a static cursor limits each run of its query to a window of rows:
// a list query (sql::PagedList) pages its rows first and computes its
// per-row sub-selects outside, for the window's rows only; its order goes
// on with the table's key, so that consecutive windows never repeat or
// skip a row. Any other query takes "LIMIT n OFFSET k".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/adodb/backend.h"
#include "host/sql/query_shape.h"

namespace tabrix::adodb {

class ListWindow {
 public:
  // The plan for `sql` (in `db`'s dialect); reads the catalog for the key
  // of a list query's table.
  ListWindow(ConnectionBackend& db, std::string sql);

  // The query's rows `offset` to `offset + limit - 1`.
  std::string RowsFrom(std::int64_t offset, std::int64_t limit) const;

 private:
  std::string sql_;
  std::optional<sql::PagedList> list_;
  std::vector<std::string> tiebreak_;
};

}  // namespace tabrix::adodb
