// RowSource: where an open recordset's rows come from.
//
// A recordset keeps the position, BOF/EOF and pending edits; its row source
// keeps the rows: in memory (schema rowsets), a window over a query on a
// pooled connection (static read-only cursors), or rows held with a
// connection to write them back (keyset cursors). Used by one thread.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "host/adodb/backend.h"
#include "host/variant.h"

namespace tabrix::adodb {

// The values of a row being added or changed; nullopt: not assigned.
using PendingValues = std::vector<std::optional<Variant>>;

class RowSource {
 public:
  virtual ~RowSource() = default;

  virtual const std::vector<ColumnInfo>& columns() const = 0;
  // The number of rows; may run a query the first time it is asked.
  virtual std::int64_t Count() = 0;
  // Makes row `index` (0-based, not negative) current; false when the
  // result has no such row.
  virtual bool Seek(std::int64_t index) = 0;
  // Column `column` of the current row, after a Seek that returned true.
  virtual Variant Value(int column) const = 0;

  // How many rows going forward may be read from the engine at once (at
  // least 1). A source that reads a row at a time without a round trip
  // ignores it.
  virtual void SetCacheSize(std::int64_t /*rows*/) {}

  // Whether rows can be inserted, changed and removed.
  virtual bool writable() const { return false; }
  // Inserts a row and returns its index; the row reads back as stored
  // (defaults, the new key). The rest raise 3251 on a read-only source.
  virtual std::int64_t Insert(const PendingValues& values);
  // Writes the assigned values into row `index`.
  virtual void Change(std::int64_t index, const PendingValues& values);
  // Deletes row `index`; the rows after it move up by one.
  virtual void Remove(std::int64_t index);

  // Ends any transaction and gives the connection back; called once.
  virtual void Close() {}
};

}  // namespace tabrix::adodb
