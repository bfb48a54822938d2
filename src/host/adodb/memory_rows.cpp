#include "host/adodb/memory_rows.h"

namespace tabrix::adodb {

bool MemoryRows::Seek(std::int64_t index) {
  if (index < 0 || index >= Count()) return false;
  current_ = index;
  return true;
}

Variant MemoryRows::Value(int column) const {
  // The recordset seeks before it reads and checks the column number.
  return rows_.at(static_cast<size_t>(current_)).at(static_cast<size_t>(column));
}

}  // namespace tabrix::adodb
