// The rows of a keyset cursor, held in memory and written back to their
// table.
//
// The result is read whole when opened (the writing pages open one row, or
// the few rows a user selected). Writes go to the query's single base table
// with bound parameters, through the backend's INSERT, UPDATE and DELETE,
// each atomic on the link (its own write transaction, or a savepoint inside
// the link's open transaction): an insert is read back by the key the engine
// reports, so defaults and the new key show; a change or delete addresses
// its row by the primary key when the result holds it, else by the values
// the row was read with. A failure undoes the write and leaves the held row
// as it was. The thread's write observer (write_observer.h) is told of
// each written row inside the write's atomic step.
#pragma once

#include <string>

#include "host/adodb/connection_link.h"
#include "host/adodb/memory_rows.h"

namespace tabrix::adodb {

class KeysetRows : public MemoryRows {
 public:
  // Runs `sql` (in the engine's dialect) on `link` and reads all its rows.
  KeysetRows(std::shared_ptr<ConnectionLink> link, std::string sql);

  // False when the query has no single base table to write to (a join, a
  // view, only expressions).
  bool writable() const override { return base_.exists; }
  std::int64_t Insert(const PendingValues& values) override;
  void Change(std::int64_t index, const PendingValues& values) override;
  void Remove(std::int64_t index) override;
  void Close() override { link_.reset(); }

 private:
  // The base-table columns of the result and the values `row` holds in them.
  void KeyOf(const Row& row, std::vector<std::string>& names, std::vector<Variant>& values) const;
  // Reads the result's columns of the one row `condition` finds.
  Row ReadRow(const RowCondition& condition);
  // Reads every column of the base table of the one row `condition` finds,
  // for the write observer.
  Row ReadWholeRow(const RowCondition& condition);
  // The assigned values by base-table column name; raises 3251 for a column
  // the table does not own.
  void Assigned(const PendingValues& values, std::vector<std::string>& names,
                std::vector<Variant>& assigned) const;
  void RequireBaseTable() const;
  ConnectionBackend& db() const { return link_->backend(); }

  std::shared_ptr<ConnectionLink> link_;  // null once closed
  TableInfo base_;                         // exists is false: no single base table
  std::vector<std::string> base_columns_;  // per result column: its base column, or ""
  bool key_in_result_ = false;             // every primary key column is in the result
};

}  // namespace tabrix::adodb
