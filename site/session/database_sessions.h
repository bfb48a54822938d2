// DatabaseSessions: the sessions of a site kept in its PostgreSQL database,
// so that several servers behind one address serve one visitor's session.
//
// A session is one row of tabrix.sessions (id, data: the bytes of
// session_codec.h, expires_at: microseconds since 1970 by the servers'
// clocks, which must agree). The schema and table are made on first use,
// safely when servers start together. The requests of one session are
// serialised across servers by a PostgreSQL advisory lock on a 64-bit hash
// of its id, taken on a connection of the store's own (outside the database
// facade's pool) and held from Open until the Hold goes; the wait for it is
// bounded by lock_timeout. Each use restarts a session's idle time, but
// its row is written for that only once the stored expiry lags by a
// twentieth of the idle time: reading a session mostly writes nothing.
// Expired rows are swept at most once per `sweep_interval` per process, at
// most `sweep_batch` rows at a time, by the index on expires_at. Rows of an earlier format (session_codec.h) are
// deleted with the setup, before the first session is read; Start does it
// at once.
//
// Threads: every method may be called from any number of threads at once.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

#include "site/session/pg_connections.h"
#include "site/session/session_store.h"

namespace tabrix::site {

struct DatabaseSessionsOptions {
  PgOptions connections;  // setup_sql is the store's own
  std::chrono::milliseconds idle{20 * 60 * 1000};
  std::chrono::milliseconds sweep_interval{60 * 1000};
  int sweep_batch = 1000;
  // The time rows are stamped with; empty: the system clock (tests pass
  // their own).
  std::function<std::chrono::system_clock::time_point()> clock;
};

class DatabaseSessions : public SessionBacking {
 public:
  DatabaseSessions(PgParams params, DatabaseSessionsOptions options);

  std::unique_ptr<Hold> Open(const std::string& id, std::optional<std::string>* data) override;
  std::unique_ptr<Hold> Fresh() override;

  // Makes the table and deletes the rows of an earlier format now (at
  // start-up). Raises SessionStoreError; Open tries again then.
  void Start();

  // Deletes up to `sweep_batch` expired rows now; returns how many went.
  // Raises SessionStoreError.
  long long Sweep();

  // The advisory lock key of the session `id`.
  static long long LockKey(std::string_view id);

 private:
  class RowHold;
  // Microseconds since 1970 now.
  long long NowMicros() const;
  // Sweeps when the last sweep of this process is `sweep_interval` old;
  // a failed sweep is left for the next.
  void MaybeSweep(PgConnections::Lent& lent);

  DatabaseSessionsOptions options_;
  PgConnections connections_;
  std::mutex sweep_mutex_;
  std::chrono::steady_clock::time_point last_sweep_;  // guarded by sweep_mutex_
};

}  // namespace tabrix::site
