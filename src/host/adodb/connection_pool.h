// The pool of open connections, one small pool per connection string.
//
// A connection link (connection_link.h) takes a connection when a
// recordset or connection object opens and gives it back when the last of
// them lets go, so nothing reconnects per query, as the legacy providers'
// pooling did. At most `PoolLimits::per_string` connections are open per
// string, in use or idle; a caller that finds them all in use waits, at
// most `PoolLimits::wait`, then gets a provider error of kind kBusy. A
// connection given back inside a transaction is rolled back first; one that
// cannot be, or that fails its health check, is closed instead of kept.
// Before an idle connection is lent, the pool asks whether it is still
// alive (ConnectionBackend::Alive): cheaply every time, with a round trip
// to the server once it has sat idle for `PoolLimits::idle_check`; a dead
// one is closed and the next idle one, or a new one, is lent instead, so a
// restarted database server costs no request an error.
//
// The facade uses the current pool: the process's own, until a test
// installs another with ScopedPool. Thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/adodb/backend.h"
#include "host/adodb/provider_registry.h"

namespace tabrix::adodb {

struct PoolLimits {
  // Connections per connection string, in use and idle together.
  std::size_t per_string = 3 * DefaultWorkers();
  // How long Acquire waits for a connection to come free.
  std::chrono::milliseconds wait{10000};
  // How long a connection sits idle before it must answer a round trip
  // before it is lent again.
  std::chrono::milliseconds idle_check{30000};

  // One per core: the worker threads a server runs by default.
  static std::size_t DefaultWorkers();
};

class PoolState;

// A connection taken from the pool; gives it back when destroyed. Move-only.
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
  PooledConnection(std::shared_ptr<PoolState> pool, std::string key,
                   std::unique_ptr<ConnectionBackend> backend)
      : pool_(std::move(pool)), key_(std::move(key)), backend_(std::move(backend)) {}
  std::shared_ptr<PoolState> pool_;  // keeps the pool's state alive while out
  std::string key_;
  std::unique_ptr<ConnectionBackend> backend_;
};

class ConnectionPool {
 public:
  explicit ConnectionPool(std::shared_ptr<const ProviderRegistry> providers =
                              ProviderRegistry::BuiltIn(),
                          PoolLimits limits = {});
  ~ConnectionPool();
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // The pool the facade uses now.
  static ConnectionPool& Current();

  // An idle connection for `connection_string` that is still alive, or a
  // new one while fewer than the limit are open, else the first to come
  // free within the wait.
  // Raises as ConnectionString::Parse, ProviderRegistry::Find and
  // Provider::Connect do, and kErrProvider (kBusy) when the wait runs out.
  PooledConnection Acquire(std::string_view connection_string);
  // Closes the idle connections kept for `connection_string` (tests remove
  // their database files after this).
  void CloseIdle(std::string_view connection_string);

  // Changes the limits; connections already open stay open.
  void set_limits(const PoolLimits& limits);
  PoolLimits limits() const;
  // How many connections the pool has opened since it was made.
  std::int64_t connections_opened() const;
  // The most connections that were open at once for `connection_string`.
  std::size_t peak_open(std::string_view connection_string) const;

 private:
  std::shared_ptr<PoolState> state_;
};

// Makes `pool` the current pool while it lives, then restores the one
// before. For tests; not while other threads use the facade.
class ScopedPool {
 public:
  explicit ScopedPool(ConnectionPool& pool);
  ~ScopedPool();
  ScopedPool(const ScopedPool&) = delete;
  ScopedPool& operator=(const ScopedPool&) = delete;

 private:
  ConnectionPool* previous_;
};

}  // namespace tabrix::adodb
