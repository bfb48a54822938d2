#include "site/session/login_throttle.h"

#include <algorithm>
#include <iterator>

#include "host/locale/locale.h"

namespace tabrix::site {

namespace {

// A name as typed may be as long as a request body: past this its bytes
// are not kept (names that long share a count, which harms no one).
constexpr std::size_t kMaxKeptName = 256;

std::string Folded(std::string_view name) {
  std::string folded = FoldCase(name);
  if (folded.size() > kMaxKeptName) folded.resize(kMaxKeptName);
  return folded;
}

}  // namespace

// The prefixes keep the three counts apart in one table of the database.
std::string NameKey(std::string_view name) { return "n " + Folded(name); }
std::string AddressCountKey(std::string_view address) {
  return "a " + std::string(address.substr(0, 64));
}
std::string PairKey(std::string_view name, std::string_view address) {
  // An address holds no blank: the first one ends it.
  return "p " + std::string(address.substr(0, 64)) + " " + Folded(name);
}

bool LoginThrottle::Counts::StillCounts(Record& record, Clock::time_point now) const {
  while (!record.failures.empty() && now - record.failures.front() >= options_.window)
    record.failures.pop_front();
  return now < record.locked_until || !record.failures.empty();
}

void LoginThrottle::Counts::Sweep(Clock::time_point now) {
  for (auto it = records_.begin(); it != records_.end();)
    it = StillCounts(it->second, now) ? std::next(it) : records_.erase(it);
  last_sweep_ = now;
}

void LoginThrottle::Counts::EvictOne(Clock::time_point now) {
  // Weakest first: a key not locked out with the oldest last failure; only
  // when every key is locked out, the lock that ends first.
  auto LastFailure = [](const Record& record) {
    return record.failures.empty() ? Clock::time_point{} : record.failures.back();
  };
  auto weakest = std::min_element(records_.begin(), records_.end(), [&](const auto& a,
                                                                       const auto& b) {
    bool a_locked = now < a.second.locked_until, b_locked = now < b.second.locked_until;
    if (a_locked != b_locked) return !a_locked;
    if (a_locked) return a.second.locked_until < b.second.locked_until;
    return LastFailure(a.second) < LastFailure(b.second);
  });
  if (weakest != records_.end()) records_.erase(weakest);
}

bool LoginThrottle::Counts::Locked(const std::string& key, Clock::time_point now) const {
  auto it = records_.find(key);
  return it != records_.end() && now < it->second.locked_until;
}

void LoginThrottle::Counts::Fail(const std::string& key, Clock::time_point now) {
  if (now - last_sweep_ >= options_.window) Sweep(now);
  auto it = records_.find(key);
  if (it == records_.end()) {
    if (records_.size() >= options_.max_entries) Sweep(now);
    while (!records_.empty() && records_.size() >= options_.max_entries) EvictOne(now);
    if (options_.max_entries == 0) return;
    it = records_.emplace(key, Record{}).first;
  }
  Record& record = it->second;
  if (now < record.locked_until) return;  // refused attempts do not extend the lock
  StillCounts(record, now);
  record.failures.push_back(now);
  if (record.failures.size() >= limit_) {
    record.locked_until = now + options_.lockout;
    record.failures.clear();
  }
}

LoginThrottle::LoginThrottle(LoginThrottleOptions options)
    : options_(options),
      pairs_(options_, options_.max_failures),
      addresses_(options_, options_.max_address_failures),
      names_(options_, options_.max_name_failures) {}

LoginRefusal LoginThrottle::Refused(std::string_view name, std::string_view address,
                                    Clock::time_point now) {
  std::string pair = PairKey(name, address), by_address = AddressCountKey(address),
              by_name = NameKey(name);
  std::lock_guard<std::mutex> lock(mutex_);
  if (addresses_.Locked(by_address, now)) return LoginRefusal::kAddress;
  if (pairs_.Locked(pair, now) || names_.Locked(by_name, now)) return LoginRefusal::kName;
  return LoginRefusal::kNone;
}

void LoginThrottle::Failed(std::string_view name, std::string_view address,
                           Clock::time_point now) {
  std::string pair = PairKey(name, address), by_address = AddressCountKey(address),
              by_name = NameKey(name);
  std::lock_guard<std::mutex> lock(mutex_);
  pairs_.Fail(pair, now);
  addresses_.Fail(by_address, now);
  names_.Fail(by_name, now);
}

void LoginThrottle::Succeeded(std::string_view name, std::string_view address) {
  std::string pair = PairKey(name, address);
  std::lock_guard<std::mutex> lock(mutex_);
  pairs_.Forget(pair);
}

std::size_t LoginThrottle::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pairs_.size() + addresses_.size() + names_.size();
}

}  // namespace tabrix::site
