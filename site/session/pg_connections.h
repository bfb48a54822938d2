// PgConnections: a few libpq connections of the site's own, kept apart from
// the database facade's pool, for what several servers of one site share in
// its PostgreSQL database (sessions, failed logins).
//
// Connections are opened and set up as all of the program's PostgreSQL
// connections are (adodb::postgres::OpenPgSession, from the parameters
// PgParamsFor reads out of the site's connection string), with a lock
// timeout besides. Every wait is bounded: connecting (connect_timeout),
// waiting for a free connection (`wait`), each statement
// (statement_timeout) and each lock (lock_timeout, the same as `wait`). A
// connection that broke is found before it is lent again (PgIdleLinkAlive)
// and replaced by a new one, so the store recovers by itself when the
// database comes back. After a failed connect, further connects
// are refused at once for a short while, so that a database that is away
// does not hold every request for the connect timeout.
//
// Failures are SessionStoreError: `busy` when a bound ran out (a lock, a
// free connection, a statement's time), else the database is away or
// refused a statement. Values go to the server as bound parameters, never
// inside the SQL text.
//
// Threads: Borrow may be called from any number of threads; a Lent
// connection is used by one thread at a time.
#pragma once

#include <libpq-fe.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/adodb/postgres/pg_params.h"

namespace tabrix::site {

// The shared store failed or could not answer in time; the request is
// answered 503. `busy`: a wait ran out (the visitor may retry at once).
class SessionStoreError : public std::runtime_error {
 public:
  SessionStoreError(const std::string& what, bool busy) : std::runtime_error(what), busy_(busy) {}
  bool busy() const { return busy_; }

 private:
  bool busy_;
};

// libpq connection parameters, as adodb::postgres::PgParamsFor reads them.
using adodb::postgres::PgParams;

struct PgOptions {
  std::size_t max_connections = 4;
  // Unset: the site's own (adodb::ConnectTimeout, adodb::StatementTimeout),
  // read when a connection is opened.
  std::optional<std::chrono::milliseconds> connect_timeout;
  std::optional<std::chrono::milliseconds> statement_timeout;
  std::chrono::milliseconds wait{10000};        // for a free connection, and lock_timeout
  std::chrono::milliseconds retry_after{1000};  // no new connect this soon after one failed
  // Statements run once per process on the first connection that works
  // (making tables), under a transaction-wide advisory lock so that servers
  // starting together do not race.
  std::string setup_sql;
};

// One parameter: text, binary (bytea) or NULL.
struct PgParam {
  std::string value;
  bool binary = false;
  bool null = false;
};

class PgResult {
 public:
  explicit PgResult(PGresult* result) : result_(result, &PQclear) {}
  int rows() const { return PQntuples(result_.get()); }
  bool IsNull(int row, int column) const { return PQgetisnull(result_.get(), row, column) != 0; }
  std::string_view Get(int row, int column) const {
    return {PQgetvalue(result_.get(), row, column),
            static_cast<std::size_t>(PQgetlength(result_.get(), row, column))};
  }
  // The count an UPDATE, INSERT or DELETE reports.
  long long affected() const;
  PGresult* get() const { return result_.get(); }

 private:
  std::unique_ptr<PGresult, void (*)(PGresult*)> result_;
};

class PgConnections {
 public:
  PgConnections(PgParams params, PgOptions options);
  ~PgConnections();
  PgConnections(const PgConnections&) = delete;
  PgConnections& operator=(const PgConnections&) = delete;

  // A connection lent to one request; given back when destroyed (dropped
  // instead when it broke, or when a transaction was left open).
  class Lent {
   public:
    Lent(Lent&& other) noexcept;
    Lent& operator=(Lent&&) = delete;
    ~Lent();

    // Runs `sql` with `params` ($1, $2, ...); results in text, or binary
    // when `binary_result`. Raises SessionStoreError.
    PgResult Exec(const char* sql, const std::vector<PgParam>& params = {},
                  bool binary_result = false);
    // Closes the connection instead of giving it back (it may hold a lock
    // it could not let go of).
    void Discard();

   private:
    friend class PgConnections;
    Lent(PgConnections* owner, PGconn* conn) : owner_(owner), conn_(conn) {}
    PgConnections* owner_;
    PGconn* conn_;
  };

  // A working connection: an idle one, or a new one while fewer than
  // max_connections are open. Waits at most `wait` for one to come free.
  // Raises SessionStoreError.
  Lent Borrow();

 private:
  // A new connection with its limits set and the setup run (once per
  // process). Raises SessionStoreError.
  PGconn* Connect();
  void Setup(PGconn* conn);
  void GiveBack(PGconn* conn);
  void CloseOne(PGconn* conn);  // a lent connection that will not come back

  PgParams params_;
  PgOptions options_;
  std::mutex mutex_;
  std::condition_variable freed_;
  std::vector<PGconn*> idle_;                               // guarded by mutex_
  std::size_t open_ = 0;                                    // idle + lent + connecting; guarded
  std::chrono::steady_clock::time_point connect_refused_until_{};  // guarded by mutex_
  bool setup_done_ = false;                                 // guarded by mutex_
};

}  // namespace tabrix::site
