#include "site/session/session_store.h"

#include "site/session/session_codec.h"

#include <sys/random.h>
#include <sys/types.h>

#include <algorithm>
#include <iostream>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tabrix::site {

struct SessionStore::Entry {
  explicit Entry(std::shared_ptr<const Session> settings)
      : session(std::make_shared<Session>(std::move(settings))) {}
  std::mutex request_lock;  // held by the lease of the request running
  std::shared_ptr<Session> session;
  // Guarded by the store's mutex: the last use, and the entry's place in
  // the store's use order while the store holds it.
  Clock::time_point last_used;
  std::optional<std::list<std::string>::iterator> place;
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
  std::size_t got = 0;
  // Bounded: getrandom returns at most a short count, or EINTR, a few times.
  for (int attempt = 0; attempt < 16 && got < sizeof bytes; ++attempt) {
    ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  if (got < sizeof bytes) throw std::runtime_error("cannot read random bytes for a session id");
  static const char kHex[] = "0123456789abcdef";
  std::string id;
  id.reserve(32);
  for (unsigned char b : bytes) {
    id += kHex[b >> 4];
    id += kHex[b & 15];
  }
  return id;
}

SessionStore::Clock::time_point SessionStore::Now() const {
  return options_.clock ? options_.clock() : Clock::now();
}

bool SessionStore::ExpiredLocked(const Entry& entry, Clock::time_point now) const {
  return now - entry.last_used > options_.idle;
}

void SessionStore::TouchLocked(Entry& entry, Clock::time_point now) {
  entry.last_used = now;
  if (entry.place) use_order_.splice(use_order_.end(), use_order_, *entry.place);
}

void SessionStore::EraseLocked(
    std::unordered_map<std::string, std::shared_ptr<Entry>>::iterator it,
    std::vector<std::shared_ptr<Entry>>& gone) {
  if (it->second->place) {
    use_order_.erase(*it->second->place);
    it->second->place.reset();
  }
  gone.push_back(std::move(it->second));
  sessions_.erase(it);
}

void SessionStore::SweepLocked(Clock::time_point now, std::vector<std::shared_ptr<Entry>>& gone) {
  // The least recently used come first: the expired ones are all at the
  // front, and a few at a time keeps each request's share small.
  for (std::size_t n = 0; n < options_.sweep_batch && !use_order_.empty(); ++n) {
    auto it = sessions_.find(use_order_.front());
    if (!ExpiredLocked(*it->second, now)) break;
    EraseLocked(it, gone);
  }
}

void SessionStore::InsertLocked(const std::string& id, std::shared_ptr<Entry> entry,
                                Clock::time_point now, std::vector<std::shared_ptr<Entry>>& gone) {
  SweepLocked(now, gone);
  if (auto it = sessions_.find(id); it != sessions_.end()) EraseLocked(it, gone);
  while (!use_order_.empty() && sessions_.size() >= std::max<std::size_t>(options_.max_sessions, 1))
    EraseLocked(sessions_.find(use_order_.front()), gone);
  entry->place = use_order_.insert(use_order_.end(), id);
  entry->last_used = now;
  sessions_[id] = std::move(entry);
}

std::shared_ptr<SessionStore::Entry> SessionStore::Make(std::string& id) {
  id = NewId();
  auto entry = std::make_shared<Entry>(options_.settings);
  entry->last_used = Now();
  return entry;
}

void SessionStore::Keep(const std::string& id, const std::shared_ptr<Entry>& entry) {
  std::vector<std::shared_ptr<Entry>> gone;
  std::lock_guard<std::mutex> lock(mutex_);
  if (entry->place) return;
  InsertLocked(id, entry, Now(), gone);
}

std::shared_ptr<SessionStore::Entry> SessionStore::Find(const std::string& id) {
  std::vector<std::shared_ptr<Entry>> gone;  // destroyed after the lock is let go
  std::lock_guard<std::mutex> lock(mutex_);
  Clock::time_point now = Now();
  SweepLocked(now, gone);
  auto it = sessions_.find(id);
  if (it == sessions_.end()) return nullptr;
  if (ExpiredLocked(*it->second, now)) {
    EraseLocked(it, gone);
    return nullptr;
  }
  TouchLocked(*it->second, now);
  return it->second;
}

std::shared_ptr<SessionStore::Entry> SessionStore::FindOrAdd(const std::string& id) {
  std::vector<std::shared_ptr<Entry>> gone;
  std::lock_guard<std::mutex> lock(mutex_);
  Clock::time_point now = Now();
  SweepLocked(now, gone);
  auto it = sessions_.find(id);
  // A local copy idle too long keeps nothing worth having: the backing
  // may still hold the session (served by another server meanwhile).
  if (it != sessions_.end() && !ExpiredLocked(*it->second, now)) {
    TouchLocked(*it->second, now);
    return it->second;
  }
  auto entry = std::make_shared<Entry>(options_.settings);
  InsertLocked(id, entry, now, gone);
  return entry;
}

void SessionStore::ForgetIfHeld(const std::string& id, const std::shared_ptr<Entry>& entry) {
  std::vector<std::shared_ptr<Entry>> gone;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sessions_.find(id);
  if (it != sessions_.end() && it->second == entry) EraseLocked(it, gone);
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
      entry->session = DecodeSession(*data, entry->session.get(), options_.settings);
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
  if (entry_ && store_ && !finished_) {
    try {
      Finish();
    } catch (const std::exception& e) {
      std::cerr << "tabrix: session not stored: " << e.what() << "\n";
    }
  }
  hold_.reset();
  if (entry_ && store_) {
    std::lock_guard<std::mutex> lock(store_->mutex_);
    if (entry_->place) store_->TouchLocked(*entry_, store_->Now());
  }
}

Session& SessionStore::Lease::session() const { return *entry_->session; }
std::shared_ptr<Session> SessionStore::Lease::shared_session() const { return entry_->session; }

void SessionStore::Lease::Renew() {
  std::string old_id = id_;
  id_ = NewId();
  {
    std::lock_guard<std::mutex> lock(store_->mutex_);
    auto it = store_->sessions_.find(old_id);
    // A session not kept yet is kept under its new id when it ends.
    if (it != store_->sessions_.end() && it->second == entry_) {
      store_->sessions_.erase(it);
      **entry_->place = id_;
      store_->sessions_[id_] = entry_;
      store_->TouchLocked(*entry_, store_->Now());
    }
  }
  id_changed_ = true;
}

void SessionStore::Lease::End() {
  store_->ForgetIfHeld(id_, entry_);
  // The values go with the session: whoever still holds the object (a
  // request that waited for this one) finds nothing of it.
  entry_->session->Clear();
  lock_.unlock();
  entry_ = store_->Make(id_);
  lock_ = std::unique_lock<std::mutex>(entry_->request_lock);
  id_changed_ = true;
  // Only a cookie that named a kept session needs clearing.
  ended_ = ended_ || !is_new_;
  is_new_ = true;
}

void SessionStore::Lease::DiscardIfNew() {
  if (is_new_) discarded_ = true;
}

void SessionStore::Lease::Finish() {
  if (finished_) return;
  finished_ = true;
  if (discarded_) {
    // An ended session's row goes; a new one never had any.
    if (hold_ && !stored_id_.empty()) hold_->Delete(stored_id_);
    hold_.reset();
    return;
  }
  if (hold_) {
    std::string data = EncodeSession(*entry_->session);
    if (is_new_ || stored_id_ != id_ || data != loaded_) hold_->Write(stored_id_, id_, data);
    hold_.reset();
  }
  if (is_new_) store_->Keep(id_, entry_);
}

std::string SessionStore::Lease::SetCookie() const {
  std::string cookie;
  if (discarded_) {
    // The ended session's id finds nothing now; the browser may forget it.
    if (!ended_) return "";
    cookie = std::string(kCookieName) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Lax";
  } else {
    if (!is_new_ && !id_changed_) return "";
    cookie = std::string(kCookieName) + "=" + id_ + "; Path=/; HttpOnly; SameSite=Lax";
  }
  if (store_->options_.cookie_secure) cookie += "; Secure";
  return cookie;
}

}  // namespace tabrix::site
