// SessionStore: the sessions of the site's visitors, behind a cookie; in
// memory, or shared by several servers through a SessionBacking.
//
// A visitor's session is found by the id in the "tabrix_session" cookie.
// Ids carry 128 random bits from the operating system (hex); an unknown,
// malformed or expired id gets a new session, never the id it came with, so
// no one can plant an id (session fixation). Renew gives a session a new id
// at login and drops the old one; End ends it at logout.
//
// A new session is kept only when its request ends with something worth
// keeping: one the caller discards (DiscardIfNew: no one logged in) is never
// stored, sends no cookie and costs the store nothing, so visitors without a
// cookie cannot fill it. A session idle longer than the store's idle time is
// gone; the sessions are held in the order of their last use, so expired ones
// are swept from its front a few at a time as requests come, and the store
// holds at most `max_sessions` (the least recently used go first).
//
// Every session reads through to the site's settings (`settings`), shared
// and never copied: a session holds only what was set during it.
//
// With a backing (the site's database), the backing is where a session
// lives: Acquire takes the backing's lock on the session (so the requests
// of one session run one at a time across servers too) and reads its
// values; Finish writes them back when they changed and gives the lock
// back. What cannot leave the process (objects) stays in the store's memory,
// which is then only this process's cache of the sessions it served. When
// the backing fails or a bounded wait runs out, Acquire and Finish raise
// SessionStoreError (the request is answered 503).
//
// Threads: the store may be used by any number of threads. The requests of
// one session run one at a time: a Lease holds the session's lock from
// Acquire until it is destroyed.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "host/session.h"
#include "site/http/http_message.h"
#include "site/session/pg_connections.h"

namespace tabrix::site {

// Where a site's sessions live beyond one process. Its methods may be called
// from any number of threads; a Hold is used by one request's thread.
class SessionBacking {
 public:
  virtual ~SessionBacking() = default;

  // One request's hold on one session; destroying it gives back the lock
  // Open took (never throws).
  class Hold {
   public:
    virtual ~Hold() = default;
    // Stores `data` under `id` and restarts its idle time; the session
    // stored as `stored_id` (empty: none) is deleted when that is another
    // id, in the same step. Raises SessionStoreError; nothing is changed
    // then.
    virtual void Write(const std::string& stored_id, const std::string& id,
                       const std::string& data) = 0;
    // Deletes the session stored as `stored_id` (a logout that keeps no
    // new session). Raises SessionStoreError.
    virtual void Delete(const std::string& stored_id) = 0;
  };

  // Takes the lock on the session `id`, waiting a bounded time, then reads
  // its values and restarts its idle time; `*data` stays empty when there is
  // no live session `id`. Raises SessionStoreError.
  virtual std::unique_ptr<Hold> Open(const std::string& id, std::optional<std::string>* data) = 0;
  // A hold for a new session, whose id nobody else knows yet: no lock.
  virtual std::unique_ptr<Hold> Fresh() = 0;
};

struct SessionStoreOptions {
  std::chrono::seconds idle{20 * 60};
  std::size_t max_sessions = 100000;
  // The most expired sessions one request sweeps, so none waits on a sweep
  // of the whole store.
  std::size_t sweep_batch = 64;
  // The site's settings every session reads through to (may be null).
  std::shared_ptr<const Session> settings;
  bool cookie_secure = false;  // the cookie carries Secure
  // The clock idle times are measured by; empty: the steady clock (tests
  // pass their own).
  std::function<std::chrono::steady_clock::time_point()> clock;
};

class SessionStore {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr const char* kCookieName = "tabrix_session";

  explicit SessionStore(SessionStoreOptions options = {});
  // A store whose sessions live in `backing` (shared by several servers).
  SessionStore(SessionStoreOptions options, std::shared_ptr<SessionBacking> backing);
  ~SessionStore();
  SessionStore(const SessionStore&) = delete;
  SessionStore& operator=(const SessionStore&) = delete;

  struct Entry;

  // One request's hold on its session.
  class Lease {
   public:
    Lease(Lease&&) noexcept;
    Lease& operator=(Lease&&) = delete;
    ~Lease();

    Session& session() const;
    std::shared_ptr<Session> shared_session() const;
    const std::string& id() const { return id_; }
    // Whether the session was made for this request (its cookie must be
    // sent if it is kept). A session ended by this request is new too.
    bool is_new() const { return is_new_; }
    // Gives the session a new id, keeping its values (at login); the old
    // id no longer finds it.
    void Renew();
    // Ends the session (logout): its values are gone and its id finds
    // nothing; the lease then holds a new, empty session with a new id,
    // which is new (is_new).
    void End();
    // The Set-Cookie header value to send when the id is new or changed;
    // empty when the visitor already holds the current id or when nothing
    // was kept. After End with nothing kept, a cookie that clears the old.
    std::string SetCookie() const;
    // Ends the request's hold: keeps a new session (unless discarded); with
    // a backing, writes the values back when they changed (or the id did)
    // and gives the lock back. Raises SessionStoreError, and the answer
    // must not send the cookie then. When called again, does nothing. The
    // destructor finishes a lease that was not, reporting failures on
    // stderr.
    void Finish();
    // For a session made for this request (or ended by it) that holds
    // nothing worth keeping (no one logged in): Finish keeps nothing and no
    // cookie names it; an ended session's row is deleted. For a session
    // that was not new, it does nothing.
    void DiscardIfNew();

   private:
    friend class SessionStore;
    Lease(SessionStore& store, std::shared_ptr<Entry> entry, std::string id, bool is_new);
    SessionStore* store_;
    std::shared_ptr<Entry> entry_;
    std::unique_lock<std::mutex> lock_;  // the session's request lock
    std::string id_;
    bool is_new_;
    bool id_changed_ = false;
    bool ended_ = false;
    // With a backing: the backing's hold, the id its stored row has (empty
    // for a new session) and the bytes of the session as read.
    std::unique_ptr<SessionBacking::Hold> hold_;
    std::string stored_id_;
    std::string loaded_;
    bool finished_ = false;
    bool discarded_ = false;
  };

  // The session of `request`'s cookie, or a new one; waits while another
  // request of the same session runs. A session that request ended, or
  // gave a new id, meanwhile is not this request's: it gets a new one.
  // Raises SessionStoreError only with a backing.
  Lease Acquire(const HttpRequest& request);

  // How many sessions are held (tests).
  std::size_t size() const;
  // The site's settings the store's sessions read through to.
  const std::shared_ptr<const Session>& settings() const { return options_.settings; }

  // A new random id: 32 hex digits (128 bits from the operating system).
  static std::string NewId();

 private:
  Clock::time_point Now() const;
  // The live session of `id`, its use noted; null when none.
  std::shared_ptr<Entry> Find(const std::string& id);
  // With a backing: the entry of `id` in this process, made when there is
  // none (the backing decides whether the session lives).
  std::shared_ptr<Entry> FindOrAdd(const std::string& id);
  // With a backing: the session of `id` read from it, or nullopt.
  std::optional<Lease> AcquireBacked(const std::string& id);
  // Forgets `id` when it still names `entry`.
  void ForgetIfHeld(const std::string& id, const std::shared_ptr<Entry>& entry);
  // Whether `id` still names `entry`.
  bool Holds(const std::string& id, const std::shared_ptr<Entry>& entry) const;
  // A new entry with a new id, not yet held: Keep stores it.
  std::shared_ptr<Entry> Make(std::string& id);
  // Holds `entry` under `id` (a new session worth keeping).
  void Keep(const std::string& id, const std::shared_ptr<Entry>& entry);
  // The following need mutex_ held. Entries that go are moved to `gone`,
  // to be destroyed once the lock is let go (a session may hold objects).
  void InsertLocked(const std::string& id, std::shared_ptr<Entry> entry, Clock::time_point now,
                    std::vector<std::shared_ptr<Entry>>& gone);
  void EraseLocked(std::unordered_map<std::string, std::shared_ptr<Entry>>::iterator it,
                   std::vector<std::shared_ptr<Entry>>& gone);
  void TouchLocked(Entry& entry, Clock::time_point now);
  void SweepLocked(Clock::time_point now, std::vector<std::shared_ptr<Entry>>& gone);
  bool ExpiredLocked(const Entry& entry, Clock::time_point now) const;

  SessionStoreOptions options_;
  std::shared_ptr<SessionBacking> backing_;  // null: memory only
  mutable std::mutex mutex_;
  // Guarded by mutex_: the sessions held, and their ids in the order of
  // their last use (least recent first), which is also the order they
  // expire in.
  std::unordered_map<std::string, std::shared_ptr<Entry>> sessions_;
  std::list<std::string> use_order_;
};

}  // namespace tabrix::site
