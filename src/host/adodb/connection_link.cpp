#include "host/adodb/connection_link.h"

namespace tabrix::adodb {

std::shared_ptr<ConnectionLink> ConnectionLink::Open(const std::string& connection_string) {
  return std::make_shared<ConnectionLink>(ConnectionPool::Current().Acquire(connection_string),
                                          connection_string);
}

ConnectionLink::ConnectionLink(PooledConnection connection, std::string connection_string)
    : connection_(std::move(connection)), connection_string_(std::move(connection_string)) {}

ConnectionLink::~ConnectionLink() {
  // The pool rolls back whatever is still open.
  connection_.Release();
}

ConnectionBackend& ConnectionLink::backend() const {
  if (!connection_) RaiseError(kErrObjectClosed, "the connection is closed");
  return *connection_;
}

std::string ConnectionLink::SavepointName(long level) const {
  return "tabrix_" + std::to_string(level);
}

long ConnectionLink::BeginTrans() {
  ConnectionBackend& db = backend();
  if (savepoints_ > 0) {
    db.Savepoint(SavepointName(static_cast<long>(savepoints_) + 1));
  } else if (owner_ == Owner::kNone) {
    db.BeginWrite();
    owner_ = Owner::kUser;
  } else {
    // Readers hold a snapshot: the user's transaction takes it over, and
    // writes upgrade it as they come.
    owner_ = Owner::kUser;
  }
  return static_cast<long>(++savepoints_);
}

void ConnectionLink::CommitTrans() {
  ConnectionBackend& db = backend();
  if (savepoints_ == 0) RaiseError(kErrIllegalOperation, "no transaction is open");
  // An interrupted write (the statement timeout) makes the engine roll the
  // whole transaction back itself: there is nothing left to undo.
  bool engine_rolled_back = !db.InTransaction();
  if (savepoints_ > 1 && !engine_rolled_back) {
    db.ReleaseSavepoint(SavepointName(static_cast<long>(savepoints_)));
    --savepoints_;
    return;
  }
  db.Commit();
  savepoints_ = 0;
  owner_ = Owner::kNone;
  // Open cursors go on reading in a snapshot of their own.
  if (readers_ > 0) {
    db.BeginRead();
    owner_ = Owner::kReaders;
  }
}

void ConnectionLink::RollbackTrans() {
  ConnectionBackend& db = backend();
  if (savepoints_ == 0) RaiseError(kErrIllegalOperation, "no transaction is open");
  // An interrupted write (the statement timeout) makes the engine roll the
  // whole transaction back itself: there is nothing left to undo.
  bool engine_rolled_back = !db.InTransaction();
  if (savepoints_ > 1 && !engine_rolled_back) {
    std::string name = SavepointName(static_cast<long>(savepoints_));
    db.RollbackToSavepoint(name);
    db.ReleaseSavepoint(name);
    --savepoints_;
    return;
  }
  if (!engine_rolled_back) db.Rollback();
  savepoints_ = 0;
  owner_ = Owner::kNone;
  if (readers_ > 0) {
    db.BeginRead();
    owner_ = Owner::kReaders;
  }
}

void ConnectionLink::BeginRead() {
  ConnectionBackend& db = backend();
  if (owner_ == Owner::kNone) {
    db.BeginRead();
    owner_ = Owner::kReaders;
  }
  ++readers_;
}

void ConnectionLink::EndRead() noexcept {
  if (readers_ > 0) --readers_;
  if (readers_ > 0 || owner_ != Owner::kReaders || !connection_) return;
  owner_ = Owner::kNone;
  try {
    connection_->Commit();
  } catch (...) {
    // A read has nothing to keep; the pool rolls back what stays open.
  }
}

void ConnectionLink::Write(const std::function<void()>& write) {
  ConnectionBackend& db = backend();
  // The connection's kept counts go with the write, whether it stays or not.
  DropCachedCountsAtEnd drop{db};
  if (owner_ == Owner::kNone) {
    db.BeginWrite();
    try {
      write();
      db.Commit();
    } catch (...) {
      try {
        db.Rollback();
      } catch (...) {
        // The first failure is the one to report.
      }
      throw;
    }
    return;
  }
  // Inside an open transaction: a savepoint undoes this write alone.
  std::string name = "tabrix_write_" + std::to_string(++writes_);
  try {
    db.Savepoint(name);
  } catch (...) {
    --writes_;
    throw;
  }
  try {
    write();
    db.ReleaseSavepoint(name);
    --writes_;
  } catch (...) {
    --writes_;
    try {
      db.RollbackToSavepoint(name);
      db.ReleaseSavepoint(name);
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
  if (owner_ == Owner::kReaders) {
    // A write outside a user transaction is kept at once; the readers go on
    // in a new snapshot.
    db.Commit();
    db.BeginRead();
  }
}

void ConnectionLink::Close() {
  if (!connection_) return;
  owner_ = Owner::kNone;
  savepoints_ = 0;
  readers_ = 0;
  connection_.Release();
}

}  // namespace tabrix::adodb
