// ConnectionLink: one pooled connection, shared by a Connection object and
// the recordsets that run on it, with the transaction they share.
//
// A recordset opened with a connection string makes a link of its own; one
// opened on a Connection object shares that object's link, so it runs
// inside the object's transaction; Recordset::ActiveConnection hands out a
// Connection object over the recordset's link. The connection goes back to
// the pool when the link closes or its last holder lets go, rolled back if
// a transaction is still open.
//
// Transactions on one link:
// - a user transaction (BeginTrans ... CommitTrans or RollbackTrans) holds
//   the write lock from its start; BeginTrans inside one nests a savepoint;
// - a static cursor's read snapshot (BeginRead ... EndRead) begins a read
//   transaction when none is open and ends it when its last reader ends; a
//   reader inside a user transaction reads that transaction's data;
// - a write (Write) runs in a write transaction of its own, or, inside an
//   open transaction, through a savepoint, so a failed write leaves the
//   transaction as it was before the write.
// A link is used by one thread at a time.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "host/adodb/connection_pool.h"

namespace tabrix::adodb {

class ConnectionLink {
 public:
  // A new link on a connection from the current pool. Raises as
  // ConnectionPool::Acquire does.
  static std::shared_ptr<ConnectionLink> Open(const std::string& connection_string);

  ConnectionLink(PooledConnection connection, std::string connection_string);
  ~ConnectionLink();
  ConnectionLink(const ConnectionLink&) = delete;
  ConnectionLink& operator=(const ConnectionLink&) = delete;

  bool is_open() const { return static_cast<bool>(connection_); }
  const std::string& connection_string() const { return connection_string_; }
  // The connection; raises 3704 once the link is closed.
  ConnectionBackend& backend() const;

  // Begins a user transaction, or nests one; returns its level (1 for the
  // outermost). Raises the provider's error when the engine refuses.
  long BeginTrans();
  // Ends the innermost user transaction. Raise 3219 when none is open.
  void CommitTrans();
  void RollbackTrans();
  // The number of open user transactions.
  long level() const { return static_cast<long>(savepoints_); }

  // A static cursor's read snapshot; each BeginRead is paired with one
  // EndRead. EndRead never raises.
  void BeginRead();
  void EndRead() noexcept;

  // Runs `write` atomically (see above); raises what `write` raised after
  // undoing it.
  void Write(const std::function<void()>& write);

  // Rolls back any open transaction and gives the connection back; every
  // holder then gets 3704. Closing a closed link does nothing.
  void Close();

 private:
  enum class Owner { kNone, kReaders, kUser };
  std::string SavepointName(long level) const;

  PooledConnection connection_;
  std::string connection_string_;
  Owner owner_ = Owner::kNone;  // who began the engine's open transaction
  std::size_t savepoints_ = 0;  // user transaction depth
  int readers_ = 0;             // open read snapshots
  int writes_ = 0;              // savepoints of Write in flight
};

}  // namespace tabrix::adodb
