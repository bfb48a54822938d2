// Opening a PostgreSQL connection: the one place where a libpq connection
// is made and its session set up, for everything in the program that
// reaches PostgreSQL (the provider's pooled connections, the site's session
// store and login throttle, the demo loader).
//
// Every session reads and writes by the same settings: UTF-8, ISO dates
// (year, month, day), PostgreSQL's interval style, money in the C locale,
// standard conforming strings, no JIT (it costs more than it saves on the
// short queries of pages), the statement timeout and, when asked, a lock
// timeout and read-only transactions. Options that the address gives
// (libpq's "options") come first, so these win. Notices are dropped. The
// wait to connect is bounded by the address's own connect_timeout, else by
// the caller's.
//
// Thread-safe: each call opens its own connection.
#pragma once

#include <libpq-fe.h>

#include <chrono>
#include <memory>
#include <string>

#include "host/adodb/postgres/pg_params.h"

namespace tabrix::adodb::postgres {

struct PgSessionOptions {
  // libpq waits whole seconds, and 2 at least.
  std::chrono::milliseconds connect_timeout{5000};
  std::chrono::milliseconds statement_timeout{0};  // 0: none
  std::chrono::milliseconds lock_timeout{0};       // 0: none
  // Every transaction read-only (default_transaction_read_only), so that
  // a write fails with the server's own error.
  bool read_only = false;
  // Unless the address names one.
  std::string application_name = "tabrix";
};

struct PgConnFinish {
  void operator()(PGconn *db) const { PQfinish(db); }
};
using PgConn = std::unique_ptr<PGconn, PgConnFinish>;

// A new connection to where `params` lead, its session set up as above.
// Raises kErrProvider (PostgreSQL, 08001, kConnection) with libpq's message
// and DescribeTarget(params) when the server cannot be reached or refuses
// the login or the TLS the address asks for; no message holds the password.
PgConn OpenPgSession(const PgParams &params, const PgSessionOptions &options);

// Whether `db`, an idle connection out of any transaction, can be lent
// again: its status is good and nothing the server sent while it was idle
// (a termination, the end of the link) says otherwise. With `round_trip`,
// an empty statement also has to come back, which finds a link that went
// away without a word (a server restarted elsewhere, a dropped route).
bool PgIdleLinkAlive(PGconn *db, bool round_trip);

}  // namespace tabrix::adodb::postgres
