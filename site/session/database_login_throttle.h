// DatabaseLoginThrottle: the login throttle of login_throttle.h (the same
// three counts: per name and address, per address, per name) with its
// counts in the site's PostgreSQL database, so that it holds across every
// server of the site.
//
// Each count is one row of tabrix.login_failures (name: the count's key,
// failures: the times of the failures still in the window, locked_until,
// expires_at: when the row stops counting). Failed runs in one transaction
// holding its rows' locks (taken in key order), so failures on several
// servers at once are all counted. Rows that no longer count are swept at
// most once per window per process, a bounded batch at a time; and after
// every `max_entries / 10` new rows a process trims the table back to
// `max_entries`, dropping rows not locked (oldest first) before locks
// (ending first). Times are microseconds since 1970 by the caller's clock
// (the servers' clocks must agree); the time is passed in, so tests drive
// it.
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

  DatabaseLoginThrottle(PgParams params, LoginThrottleOptions options, PgOptions connections = {});

  // Whether an attempt for `name` from `address` (keyed) at `now` is
  // refused without checking the password, and why.
  LoginRefusal Refused(std::string_view name, std::string_view address, Clock::time_point now);
  // Notes a failed login for `name` from `address` at `now`.
  void Failed(std::string_view name, std::string_view address, Clock::time_point now);
  // Forgets the failures of `name` from `address`.
  void Succeeded(std::string_view name, std::string_view address);

  // How many rows the table holds (tests).
  long long rows();

 private:
  LoginThrottleOptions options_;
  PgConnections connections_;
  std::mutex sweep_mutex_;
  Clock::time_point last_sweep_{};  // guarded by sweep_mutex_
  std::size_t new_rows_ = 0;        // since the last trim; guarded by sweep_mutex_
};

}  // namespace tabrix::site
