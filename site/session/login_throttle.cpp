#include "site/session/login_throttle.h"

#include <algorithm>
#include <iterator>

#include "host/locale/locale.h"

namespace tabrix::site {

LoginThrottle::LoginThrottle(LoginThrottleOptions options) : options_(options) {}

bool LoginThrottle::StillCounts(Record& record, Clock::time_point now) const {
  while (!record.failures.empty() && now - record.failures.front() >= options_.window)
    record.failures.pop_front();
  return now < record.locked_until || !record.failures.empty();
}

void LoginThrottle::SweepLocked(Clock::time_point now) {
  for (auto it = records_.begin(); it != records_.end();)
    it = StillCounts(it->second, now) ? std::next(it) : records_.erase(it);
  last_sweep_ = now;
}

void LoginThrottle::EvictOneLocked(Clock::time_point now) {
  // Weakest first: a name not locked out with the oldest last failure;
  // only when every name is locked out, the lock that ends first.
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

bool LoginThrottle::Refused(std::string_view name, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = records_.find(FoldCase(name));
  return it != records_.end() && now < it->second.locked_until;
}

void LoginThrottle::Failed(std::string_view name, Clock::time_point now) {
  std::string key = FoldCase(name);
  std::lock_guard<std::mutex> lock(mutex_);
  if (now - last_sweep_ >= options_.window) SweepLocked(now);
  auto it = records_.find(key);
  if (it == records_.end()) {
    if (records_.size() >= options_.max_names) SweepLocked(now);
    while (!records_.empty() && records_.size() >= options_.max_names) EvictOneLocked(now);
    if (options_.max_names == 0) return;
    it = records_.emplace(std::move(key), Record{}).first;
  }
  Record& record = it->second;
  if (now < record.locked_until) return;  // refused attempts do not extend the lock
  StillCounts(record, now);
  record.failures.push_back(now);
  if (record.failures.size() >= options_.max_failures) {
    record.locked_until = now + options_.lockout;
    record.failures.clear();
  }
}

void LoginThrottle::Succeeded(std::string_view name) {
  std::string key = FoldCase(name);
  std::lock_guard<std::mutex> lock(mutex_);
  records_.erase(key);
}

std::size_t LoginThrottle::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_.size();
}

}  // namespace tabrix::site
