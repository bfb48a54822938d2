// The pool of open connections, one small pool per connection string.
//
// A recordset or connection object takes a connection on Open and gives it
// back on Close or destruction, so nothing reconnects per query, as the
// legacy providers' pooling did. A connection given back inside a
// transaction is rolled back first; one that cannot be is dropped. A few
// idle connections are kept per string; more are opened when more are in
// use at once. Thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/adodb/backend.h"

namespace tabrix::adodb {

class ConnectionPool;

// A connection taken from the pool; gives it back when destroyed.
class PooledConnection {
 public:
  PooledConnection() = default;
  PooledConnection(PooledConnection&& other) noexcept = default;
  PooledConnection& operator=(PooledConnection&& other) noexcept;
  ~PooledConnection();

  explicit operator bool() const { return backend_ != nullptr; }
  ConnectionBackend& operator*() const { return *backend_; }
  ConnectionBackend* operator->() const { return backend_.get(); }
  // Gives the connection back now; the handle becomes empty.
  void Release();

 private:
  friend class ConnectionPool;
  PooledConnection(ConnectionPool* pool, std::string key,
                   std::unique_ptr<ConnectionBackend> backend)
      : pool_(pool), key_(std::move(key)), backend_(std::move(backend)) {}
  ConnectionPool* pool_ = nullptr;
  std::string key_;
  std::unique_ptr<ConnectionBackend> backend_;
};

class ConnectionPool {
 public:
  // The process's pool.
  static ConnectionPool& Global();

  // An idle connection for `connection_string`, or a new one. Raises as
  // ConnectionString::Parse, FindProvider and Provider::Connect do.
  PooledConnection Acquire(std::string_view connection_string);
  // Closes the idle connections kept for `connection_string` (tests remove
  // their database files after this).
  void CloseIdle(std::string_view connection_string);
  // How many connections the pool has opened since the process started.
  std::int64_t connections_opened() const;

 private:
  friend class PooledConnection;
  void GiveBack(const std::string& key, std::unique_ptr<ConnectionBackend> backend);
  struct State;
  std::shared_ptr<State> state_;
  ConnectionPool();
};

}  // namespace tabrix::adodb
