#include "site/session/session_store.h"

#include "site/session/session_codec.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tabrix::site {

struct SessionStore::Entry {
  std::mutex request_lock;  // held by the lease of the request running
  std::shared_ptr<Session> session = std::make_shared<Session>();
  Clock::time_point last_used;  // guarded by the store's mutex
};

namespace {

// The cookie value named `name` in a Cookie header ("a=1; b=2").
std::string CookieValue(const std::string& header, std::string_view name) {
  for (const auto& [key, value] : CookiePairs(header))
    if (key == name) return value;
  return "";
}

bool IsWellFormedId(const std::string& id) {
  return id.size() == 32 && std::all_of(id.begin(), id.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

}  // namespace

SessionStore::SessionStore(SessionStoreOptions options) : options_(std::move(options)) {}
SessionStore::SessionStore(SessionStoreOptions options, std::shared_ptr<SessionBacking> backing)
    : options_(std::move(options)), backing_(std::move(backing)) {}
SessionStore::~SessionStore() = default;

std::string SessionStore::NewId() {
  unsigned char bytes[16];
  std::ifstream random("/dev/urandom", std::ios::binary);
  if (!random.read(reinterpret_cast<char*>(bytes), sizeof bytes))
    throw std::runtime_error("cannot read /dev/urandom for a session id");
  static const char kHex[] = "0123456789abcdef";
  std::string id;
  for (unsigned char b : bytes) {
    id += kHex[b >> 4];
    id += kHex[b & 15];
  }
  return id;
}

SessionStore::Clock::time_point SessionStore::Now() const {
  return options_.clock ? options_.clock() : Clock::now();
}

void SessionStore::SweepLocked(Clock::time_point now) {
  std::erase_if(sessions_, [&](const auto& item) {
    return now - item.second->last_used > options_.idle;
  });
  while (sessions_.size() >= options_.max_sessions && !sessions_.empty()) {
    auto oldest = std::min_element(sessions_.begin(), sessions_.end(), [](const auto& a,
                                                                          const auto& b) {
      return a.second->last_used < b.second->last_used;
    });
    sessions_.erase(oldest);
  }
}

std::shared_ptr<SessionStore::Entry> SessionStore::Make(std::string& id) {
  auto entry = std::make_shared<Entry>();
  id = NewId();
  std::lock_guard<std::mutex> lock(mutex_);
  Clock::time_point now = Now();
  SweepLocked(now);
  entry->last_used = now;
  sessions_[id] = entry;
  return entry;
}

void SessionStore::Forget(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  sessions_.erase(id);
}

std::shared_ptr<SessionStore::Entry> SessionStore::Find(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sessions_.find(id);
  if (it == sessions_.end()) return nullptr;
  Clock::time_point now = Now();
  if (now - it->second->last_used > options_.idle) {
    sessions_.erase(it);
    return nullptr;
  }
  it->second->last_used = now;
  return it->second;
}

std::shared_ptr<SessionStore::Entry> SessionStore::FindOrAdd(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  Clock::time_point now = Now();
  auto it = sessions_.find(id);
  // A local copy idle too long keeps nothing worth having: the backing
  // may still hold the session (served by another server meanwhile).
  if (it != sessions_.end() && now - it->second->last_used <= options_.idle) {
    it->second->last_used = now;
    return it->second;
  }
  if (it == sessions_.end()) SweepLocked(now);
  auto entry = std::make_shared<Entry>();
  entry->last_used = now;
  sessions_[id] = entry;
  return entry;
}

void SessionStore::ForgetIfHeld(const std::string& id, const std::shared_ptr<Entry>& entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sessions_.find(id);
  if (it != sessions_.end() && it->second == entry) sessions_.erase(it);
}

std::optional<SessionStore::Lease> SessionStore::AcquireBacked(const std::string& id) {
  std::shared_ptr<Entry> entry = FindOrAdd(id);
  Lease lease(*this, entry, id, false);  // the requests of this process wait here
  // A request of this process may have logged out or in meanwhile.
  if (!Holds(id, entry)) return std::nullopt;
  std::optional<std::string> data;
  std::unique_ptr<SessionBacking::Hold> hold = backing_->Open(id, &data);
  if (data) {
    try {
      entry->session = DecodeSession(*data, entry->session.get());
      lease.hold_ = std::move(hold);
      lease.stored_id_ = id;
      // Compared with what the request leaves: a request that changed
      // nothing writes nothing, even where an object of another process
      // could not be taken in.
      lease.loaded_ = EncodeSession(*entry->session);
      return lease;
    } catch (const SessionCodecError& e) {
      // A row this program cannot read is no session: the visitor starts
      // anew, as after an expiry.
      std::cerr << "tabrix: session dropped: " << e.what() << "\n";
    }
  }
  ForgetIfHeld(id, entry);
  return std::nullopt;
}

bool SessionStore::Holds(const std::string& id, const std::shared_ptr<Entry>& entry) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sessions_.find(id);
  return it != sessions_.end() && it->second == entry;
}

SessionStore::Lease SessionStore::Acquire(const HttpRequest& request) {
  std::string id = CookieValue(request.Header("cookie").value_or(""), kCookieName);
  if (backing_) {
    if (IsWellFormedId(id))
      if (std::optional<Lease> lease = AcquireBacked(id)) return std::move(*lease);
    std::string new_id;
    std::shared_ptr<Entry> entry = Make(new_id);
    Lease lease(*this, std::move(entry), std::move(new_id), true);
    lease.hold_ = backing_->Fresh();
    return lease;
  }
  if (IsWellFormedId(id)) {
    if (std::shared_ptr<Entry> entry = Find(id)) {
      Lease lease(*this, entry, id, false);  // waits for the session's running request
      // That request may have logged out (End) or in (Renew) meanwhile:
      // the old id must not reach the session after either.
      if (Holds(id, entry)) return lease;
    }
  }
  std::string new_id;
  std::shared_ptr<Entry> entry = Make(new_id);
  return Lease(*this, std::move(entry), std::move(new_id), true);
}

std::size_t SessionStore::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessions_.size();
}

SessionStore::Lease::Lease(SessionStore& store, std::shared_ptr<Entry> entry, std::string id,
                           bool is_new)
    : store_(&store),
      entry_(std::move(entry)),
      lock_(entry_->request_lock),
      id_(std::move(id)),
      is_new_(is_new) {}

SessionStore::Lease::Lease(Lease&& other) noexcept = default;

SessionStore::Lease::~Lease() {
  if (entry_ && store_ && store_->backing_ && !finished_) {
    try {
      Finish();
    } catch (const std::exception& e) {
      std::cerr << "tabrix: session not stored: " << e.what() << "\n";
    }
  }
  hold_.reset();
  if (entry_ && store_) {
    std::lock_guard<std::mutex> lock(store_->mutex_);
    entry_->last_used = store_->Now();
  }
}

Session& SessionStore::Lease::session() const { return *entry_->session; }
std::shared_ptr<Session> SessionStore::Lease::shared_session() const { return entry_->session; }

void SessionStore::Lease::Renew() {
  std::string old_id = id_;
  id_ = NewId();
  {
    std::lock_guard<std::mutex> lock(store_->mutex_);
    store_->sessions_.erase(old_id);
    entry_->last_used = store_->Now();
    store_->sessions_[id_] = entry_;
  }
  id_changed_ = true;
}

void SessionStore::Lease::End() {
  store_->Forget(id_);
  // The values go with the session: whoever still holds the object (a
  // request that waited for this one) finds it empty.
  Session& ended = *entry_->session;
  for (const auto& [key, value] : ended.Entries()) ended.Remove(key);
  lock_.unlock();
  entry_ = store_->Make(id_);
  lock_ = std::unique_lock<std::mutex>(entry_->request_lock);
  id_changed_ = true;
}

void SessionStore::Lease::DiscardIfNew() {
  if (store_->backing_ && is_new_) discarded_ = true;
}

void SessionStore::Lease::Finish() {
  if (finished_ || !store_->backing_ || !hold_) return;
  finished_ = true;
  if (discarded_) {
    hold_.reset();
    store_->ForgetIfHeld(id_, entry_);
    return;
  }
  std::string data = EncodeSession(*entry_->session);
  if (is_new_ || stored_id_ != id_ || data != loaded_) hold_->Write(stored_id_, id_, data);
  hold_.reset();
}

std::string SessionStore::Lease::SetCookie() const {
  if (discarded_ || (!is_new_ && !id_changed_)) return "";
  std::string cookie = std::string(kCookieName) + "=" + id_ + "; Path=/; HttpOnly; SameSite=Lax";
  if (store_->options_.cookie_secure) cookie += "; Secure";
  return cookie;
}

}  // namespace tabrix::site
