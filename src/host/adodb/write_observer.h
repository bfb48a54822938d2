// A watcher of the rows keyset recordsets write, for the thread that runs
// a page: the site installs one per request (its change history) without
// the component or the facade's callers knowing.
//
// The watcher is called inside the write's own atomic step (the savepoint
// or transaction of ConnectionLink::Write), on the write's connection, after
// the row was changed: what it writes there commits or rolls back with the
// change, and a watcher that raises undoes the change.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/adodb/backend.h"

namespace tabrix::adodb {

struct RowWrite {
  enum class Kind { kInsert, kUpdate, kDelete };
  Kind kind = Kind::kInsert;
  const TableInfo* table = nullptr;  // the written table, as the catalog describes it
  // Every column of the table in its order, with the row's values as the
  // write's transaction read them before (none for an insert) and after
  // (none for a delete) the write.
  std::optional<std::vector<Variant>> before;
  std::optional<std::vector<Variant>> after;
};

class WriteObserver {
 public:
  virtual ~WriteObserver() = default;
  // Called once per written row; may run statements on `db`.
  virtual void RowWritten(ConnectionBackend& db, const RowWrite& write) = 0;
};

// The watcher installed on this thread; null when none is.
WriteObserver* CurrentWriteObserver();

// Installs `observer` on this thread for its lifetime (null: none), then
// puts back the one before.
class ScopedWriteObserver {
 public:
  explicit ScopedWriteObserver(WriteObserver* observer);
  ~ScopedWriteObserver();
  ScopedWriteObserver(const ScopedWriteObserver&) = delete;
  ScopedWriteObserver& operator=(const ScopedWriteObserver&) = delete;

 private:
  WriteObserver* previous_;
};

}  // namespace tabrix::adodb
