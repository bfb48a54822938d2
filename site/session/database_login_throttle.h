// DatabaseLoginThrottle: the login throttle of login_throttle.h with its
// counts in the site's PostgreSQL database, so that it holds across every
// server of the site: after `max_failures` failed logins for one name within
// `window`, attempts for that name are refused for `lockout`; a successful
// login forgets the name's failures. Names are compared folded without a
// locale, as the login compares them.
//
// A name is one row of tabrix.login_failures (name, failures: the times of
// the failures still in the window, locked_until, expires_at: when the row
// stops counting). Failed runs in one transaction holding the row's lock, so
// failures on several servers at once are all counted. Rows that no longer
// count are swept at most once per window per process, a bounded batch at a
// time. Times are microseconds since 1970 by the caller's clock (the
// servers' clocks must agree); the time is passed in, so tests drive it.
//
// Failures are SessionStoreError (pg_connections.h): the login is then
// answered 503, never let through unchecked.
//
// Threads: every method may be called from any number of threads at once.
#pragma once

#include <chrono>
#include <mutex>
#include <string_view>

#include "site/session/login_throttle.h"
#include "site/session/pg_connections.h"

namespace tabrix::site {

class DatabaseLoginThrottle {
 public:
  using Clock = std::chrono::system_clock;

  // `options.max_names` does not apply: rows are swept instead.
  DatabaseLoginThrottle(PgParams params, LoginThrottleOptions options, PgOptions connections = {});

  // Whether an attempt for `name` at `now` is refused without checking the
  // password.
  bool Refused(std::string_view name, Clock::time_point now);
  // Notes a failed login for `name` at `now`; the failure that reaches
  // `max_failures` within the window locks the name out from `now`.
  void Failed(std::string_view name, Clock::time_point now);
  // Forgets the failures of `name`.
  void Succeeded(std::string_view name);

 private:
  LoginThrottleOptions options_;
  PgConnections connections_;
  std::mutex sweep_mutex_;
  Clock::time_point last_sweep_{};  // guarded by sweep_mutex_
};

}  // namespace tabrix::site
