// LoginThrottle: stops password guessing without letting a stranger lock
// others out.
//
// Failed logins are counted three ways, each within `window`:
//   - per name and address together: `max_failures` lock that name for
//     that address alone, so a guesser cannot lock the real user out;
//   - per address: `max_address_failures` (over any names) lock the
//     address out of every name, so trying many names is limited too;
//   - per name over all addresses: `max_name_failures`, much higher, lock
//     the name for everyone, against guessing spread over many addresses.
// A lock lasts `lockout`; attempts refused meanwhile do not extend it. A
// successful login forgets the failures of its name from its address.
// Names are compared as the login compares them: ignoring letter case,
// folded without a locale. Addresses are passed in already keyed (see
// AddressKey in client_address.h).
//
// Memory stays bounded: a record holds at most its limit of times, records
// that no longer count are swept, and each table holds at most
// `max_entries` keys (when full, the record that matters least goes: the
// oldest one not locked out, else the lock that ends first).
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
  std::size_t max_failures = 10;          // one name from one address
  std::size_t max_address_failures = 30;  // one address, any names
  std::size_t max_name_failures = 100;    // one name, all addresses
  std::chrono::steady_clock::duration window = std::chrono::minutes(15);
  std::chrono::steady_clock::duration lockout = std::chrono::minutes(15);
  std::size_t max_entries = 100000;  // per table
};

// Why an attempt is refused.
enum class LoginRefusal { kNone, kName, kAddress };

// The keys the three counts use (shared by the database throttle).
std::string NameKey(std::string_view name);
std::string AddressCountKey(std::string_view address);
std::string PairKey(std::string_view name, std::string_view address);

class LoginThrottle {
 public:
  using Clock = std::chrono::steady_clock;

  explicit LoginThrottle(LoginThrottleOptions options = {});
  LoginThrottle(const LoginThrottle&) = delete;
  LoginThrottle& operator=(const LoginThrottle&) = delete;

  // Whether an attempt for `name` from `address` at `now` is refused
  // without checking the password, and why.
  LoginRefusal Refused(std::string_view name, std::string_view address, Clock::time_point now);
  // Notes a failed login for `name` from `address` at `now`.
  void Failed(std::string_view name, std::string_view address, Clock::time_point now);
  // Forgets the failures of `name` from `address` (it logged in).
  void Succeeded(std::string_view name, std::string_view address);

  // How many keys the three tables hold together (tests).
  std::size_t size() const;

 private:
  // One table of counts: failures per key, each key locked when it
  // reaches `limit` within the window.
  class Counts {
   public:
    Counts(const LoginThrottleOptions& options, std::size_t limit)
        : options_(options), limit_(limit) {}
    bool Locked(const std::string& key, Clock::time_point now) const;
    void Fail(const std::string& key, Clock::time_point now);
    void Forget(const std::string& key) { records_.erase(key); }
    std::size_t size() const { return records_.size(); }

   private:
    struct Record {
      std::deque<Clock::time_point> failures;  // within the window, oldest first
      Clock::time_point locked_until{};        // refused before this time
    };
    // Whether `record` still counts at `now`; drops its failures that left
    // the window.
    bool StillCounts(Record& record, Clock::time_point now) const;
    void Sweep(Clock::time_point now);
    void EvictOne(Clock::time_point now);

    const LoginThrottleOptions& options_;
    std::size_t limit_;
    std::unordered_map<std::string, Record> records_;
    Clock::time_point last_sweep_{};
  };

  LoginThrottleOptions options_;
  mutable std::mutex mutex_;  // guards the three tables
  Counts pairs_;
  Counts addresses_;
  Counts names_;
};

}  // namespace tabrix::site
