// LoginThrottle: stops password guessing against one login name.
//
// After `max_failures` failed logins for one name within `window`, further
// attempts for that name are refused for `lockout`, whatever the password;
// a successful login forgets the name's failures. Names are compared as the
// login compares them: ignoring letter case, folded without a locale.
//
// Memory stays bounded: a name's record holds at most `max_failures` times,
// records that no longer count are swept, and at most `max_names` names are
// tracked (when full, the record that matters least goes: the oldest one
// not locked out, else the lock that ends first).
//
// Threads: every method may be called from any number of threads at once.
// The time is passed in, so tests drive the clock.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tabrix::site {

struct LoginThrottleOptions {
  std::size_t max_failures = 10;
  std::chrono::steady_clock::duration window = std::chrono::minutes(15);
  std::chrono::steady_clock::duration lockout = std::chrono::minutes(15);
  std::size_t max_names = 100000;
};

class LoginThrottle {
 public:
  using Clock = std::chrono::steady_clock;

  explicit LoginThrottle(LoginThrottleOptions options = {});
  LoginThrottle(const LoginThrottle&) = delete;
  LoginThrottle& operator=(const LoginThrottle&) = delete;

  // Whether an attempt for `name` at `now` is refused without checking the
  // password (the name is locked out).
  bool Refused(std::string_view name, Clock::time_point now);
  // Notes a failed login for `name` at `now`; the failure that reaches
  // `max_failures` within the window locks the name out from `now`.
  void Failed(std::string_view name, Clock::time_point now);
  // Forgets the failures of `name` (it logged in).
  void Succeeded(std::string_view name);

  // How many names are tracked (tests).
  std::size_t size() const;

 private:
  struct Record {
    std::deque<Clock::time_point> failures;  // within the window, oldest first
    Clock::time_point locked_until{};        // refused before this time
  };

  // Whether `record` still counts at `now` (locked or with failures in
  // the window); drops its failures that left the window.
  bool StillCounts(Record& record, Clock::time_point now) const;
  void SweepLocked(Clock::time_point now);
  void EvictOneLocked(Clock::time_point now);

  LoginThrottleOptions options_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Record> records_;  // by folded name; guarded by mutex_
  Clock::time_point last_sweep_{};                   // guarded by mutex_
};

}  // namespace tabrix::site
