// The in-memory session store: cookies and their flags, ids that are never
// taken from the visitor, a new id at login and none kept after logout, no
// session kept for a request that had nothing to keep, the site's settings
// read through, idle expiry on a clock the test drives swept a few at a
// time, the bound on sessions held, and the requests of one session running
// one at a time.
#include "site/session/session_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tabrix::site {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;

HttpRequest WithCookie(const std::string& cookie) {
  HttpRequest request;
  request.method = "GET";
  request.target = request.path = "/";
  if (!cookie.empty()) request.headers.emplace_back("cookie", cookie);
  return request;
}

HttpRequest WithId(const std::string& id) {
  return WithCookie(std::string(SessionStore::kCookieName) + "=" + id);
}

// A clock the test moves by hand, shared with the store.
struct FakeClock {
  std::shared_ptr<SessionStore::Clock::time_point> now =
      std::make_shared<SessionStore::Clock::time_point>(std::chrono::hours(1000));
  void Advance(SessionStore::Clock::duration by) { *now += by; }
  std::function<SessionStore::Clock::time_point()> Function() const {
    auto shared = now;
    return [shared] { return *shared; };
  }
};

// A session made and left with `key` = "yes"; its id.
std::string MadeSession(SessionStore& store, const char* key = "UserOk") {
  SessionStore::Lease lease = store.Acquire(WithCookie(""));
  lease.session().SetValue(key, Variant("yes"));
  return lease.id();
}

TEST(SessionStore, ANewSessionSendsItsCookieWithItsFlags) {
  for (bool secure : {false, true}) {
    SessionStoreOptions options;
    options.cookie_secure = secure;
    SessionStore store(options);
    SessionStore::Lease lease = store.Acquire(WithCookie(""));
    EXPECT_TRUE(lease.is_new());
    ASSERT_EQ(lease.id().size(), 32u);
    EXPECT_TRUE(std::all_of(lease.id().begin(), lease.id().end(),
                            [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }));
    std::string expected =
        "tabrix_session=" + lease.id() + "; Path=/; HttpOnly; SameSite=Lax";
    if (secure) expected += "; Secure";
    EXPECT_EQ(lease.SetCookie(), expected);
  }
  SessionStore store;
  EXPECT_NE(MadeSession(store), MadeSession(store)) << "every session its own id";
}

TEST(SessionStore, AKnownIdFindsItsSessionAmongOtherCookies) {
  SessionStore store;
  std::string id = MadeSession(store);
  for (const std::string& cookie :
       {"tabrix_session=" + id, "a=1; tabrix_session=" + id + "; b=2",
        "other_session=x;tabrix_session=" + id}) {
    SessionStore::Lease lease = store.Acquire(WithCookie(cookie));
    EXPECT_EQ(lease.id(), id) << cookie;
    EXPECT_FALSE(lease.is_new()) << cookie;
    EXPECT_EQ(lease.session().Value("userok").string(), "yes") << cookie;
    EXPECT_EQ(lease.SetCookie(), "") << "the visitor holds the id already";
  }
  EXPECT_EQ(store.size(), 1u);
}

TEST(SessionStore, AnUnknownOrMalformedIdGetsANewIdNeverTheOneSent) {
  SessionStore store;
  std::string known = MadeSession(store);
  std::string upper = known;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  const std::string sent[] = {
      "0123456789abcdef0123456789abcdef",  // well formed, never issued
      upper.find_first_of("abcdef") != std::string::npos ? upper : upper + "x",
      known.substr(1),
      known + "0",
      " " + known,
      "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz",
      "",
      "../../etc/passwd",
  };
  for (const std::string& id : sent) {
    SessionStore::Lease lease = store.Acquire(WithId(id));
    EXPECT_TRUE(lease.is_new()) << id;
    EXPECT_NE(lease.id(), id);
    EXPECT_NE(lease.id(), known);
    EXPECT_FALSE(lease.session().Contains("UserOk")) << id;
    EXPECT_NE(lease.SetCookie().find(lease.id()), std::string::npos);
  }
  SessionStore::Lease other_name = store.Acquire(WithCookie("session=" + known));
  EXPECT_NE(other_name.id(), known) << "only the store's own cookie counts";
}

TEST(SessionStore, RenewGivesANewIdAndDropsTheOld) {
  SessionStore store;
  std::string old_id = MadeSession(store, "FL_cache");
  std::string new_id;
  {
    SessionStore::Lease lease = store.Acquire(WithId(old_id));
    lease.Renew();
    new_id = lease.id();
    EXPECT_NE(new_id, old_id);
    EXPECT_EQ(lease.SetCookie(), "tabrix_session=" + new_id + "; Path=/; HttpOnly; SameSite=Lax");
    lease.session().SetValue("UserOk", Variant("yes"));
  }
  SessionStore::Lease renewed = store.Acquire(WithId(new_id));
  EXPECT_FALSE(renewed.is_new());
  EXPECT_EQ(renewed.session().Value("FL_cache").string(), "yes") << "values are kept";
  EXPECT_EQ(renewed.session().Value("UserOk").string(), "yes");
  SessionStore::Lease old = store.Acquire(WithId(old_id));
  EXPECT_TRUE(old.is_new());
  EXPECT_NE(old.id(), old_id);
  EXPECT_FALSE(old.session().Contains("UserOk"));
}

TEST(SessionStore, EndForgetsTheValuesAndIssuesANewId) {
  SessionStore store;
  std::string old_id = MadeSession(store);
  std::shared_ptr<Session> held;
  std::string new_id;
  {
    SessionStore::Lease lease = store.Acquire(WithId(old_id));
    held = lease.shared_session();
    lease.End();
    new_id = lease.id();
    EXPECT_NE(new_id, old_id);
    EXPECT_FALSE(lease.session().Contains("UserOk"));
    EXPECT_NE(lease.SetCookie().find("tabrix_session=" + new_id + ";"), std::string::npos);
  }
  EXPECT_FALSE(held->Contains("UserOk")) << "the ended session keeps no values";
  SessionStore::Lease old = store.Acquire(WithId(old_id));
  EXPECT_TRUE(old.is_new());
  EXPECT_NE(old.id(), old_id);
  EXPECT_FALSE(old.session().Contains("UserOk"));
  SessionStore::Lease fresh = store.Acquire(WithId(new_id));
  EXPECT_FALSE(fresh.is_new()) << "the id issued at logout is a session of its own";
}

TEST(SessionStore, ASessionIdleLongerThanTheIdleTimeIsGone) {
  FakeClock clock;
  SessionStoreOptions options;
  options.idle = minutes(20);
  options.clock = clock.Function();
  SessionStore store(options);
  std::string id = MadeSession(store);

  clock.Advance(minutes(20));  // idle exactly the idle time: still there
  EXPECT_FALSE(store.Acquire(WithId(id)).is_new());
  clock.Advance(minutes(19));  // each use starts the idle time again
  EXPECT_FALSE(store.Acquire(WithId(id)).is_new());
  clock.Advance(minutes(20) + seconds(1));
  SessionStore::Lease expired = store.Acquire(WithId(id));
  EXPECT_TRUE(expired.is_new());
  EXPECT_NE(expired.id(), id);
  EXPECT_FALSE(expired.session().Contains("UserOk"));

  // Expired sessions are swept as new ones are made.
  std::string other = MadeSession(store);
  clock.Advance(minutes(21));
  MadeSession(store);
  EXPECT_EQ(store.size(), 1u);
  EXPECT_TRUE(store.Acquire(WithId(other)).is_new());
}

TEST(SessionStore, HoldsAtMostMaxSessionsDroppingTheLeastRecentlyUsed) {
  FakeClock clock;
  SessionStoreOptions options;
  options.max_sessions = 3;
  options.clock = clock.Function();
  SessionStore store(options);
  std::vector<std::string> ids;
  for (int i = 0; i < 3; ++i) {
    ids.push_back(MadeSession(store));
    clock.Advance(seconds(1));
  }
  store.Acquire(WithId(ids[0]));  // the first becomes the most recently used
  clock.Advance(seconds(1));
  for (int i = 0; i < 10; ++i) {
    MadeSession(store);
    EXPECT_LE(store.size(), 3u);
  }
  store.Acquire(WithCookie(""));
  EXPECT_EQ(store.size(), 3u);
  EXPECT_TRUE(store.Acquire(WithId(ids[1])).is_new()) << "the least recently used went first";
}

TEST(SessionStore, ADiscardedNewSessionIsNeverKeptNorNamedByACookie) {
  SessionStore store;
  std::string id;
  for (int i = 0; i < 100; ++i) {
    SessionStore::Lease lease = store.Acquire(WithCookie(""));
    lease.session().SetValue("msg", Variant("The user name or the password is wrong."));
    lease.DiscardIfNew();
    lease.Finish();
    EXPECT_EQ(lease.SetCookie(), "");
    id = lease.id();
  }
  EXPECT_EQ(store.size(), 0u);
  {
    SessionStore::Lease again = store.Acquire(WithId(id));
    EXPECT_TRUE(again.is_new());
    EXPECT_FALSE(again.session().Contains("msg"));
    again.DiscardIfNew();
  }

  // A session that was kept is not new: discarding leaves it alone.
  std::string kept = MadeSession(store);
  {
    SessionStore::Lease lease = store.Acquire(WithId(kept));
    lease.DiscardIfNew();
  }
  EXPECT_FALSE(store.Acquire(WithId(kept)).is_new());

  // A logout that keeps nothing: the old id finds nothing, no new session
  // is held, and the browser is told to forget the cookie.
  {
    SessionStore::Lease lease = store.Acquire(WithId(kept));
    lease.End();
    EXPECT_TRUE(lease.is_new());
    lease.DiscardIfNew();
    lease.Finish();
    EXPECT_EQ(lease.SetCookie(), "tabrix_session=; Path=/; Max-Age=0; HttpOnly; SameSite=Lax");
  }
  EXPECT_EQ(store.size(), 0u);
}

TEST(SessionStore, SessionsReadTheSiteSettingsThroughAndKeepOnlyTheirOwn) {
  auto site = std::make_shared<Session>();
  site->SetValue("set_encryptkey", Variant("k3y"));
  SessionStoreOptions options;
  options.settings = site;
  SessionStore store(options);
  std::string id = MadeSession(store);
  {
    SessionStore::Lease lease = store.Acquire(WithId(id));
    EXPECT_EQ(lease.session().Value("SET_ENCRYPTKEY").string(), "k3y");
    ASSERT_EQ(lease.session().OwnEntries().size(), 1u);
    EXPECT_EQ(lease.session().OwnEntries()[0].key, "UserOk");
    lease.End();
    EXPECT_EQ(lease.session().Value("set_encryptkey").string(), "k3y") << "after logout too";
    EXPECT_FALSE(lease.session().Contains("UserOk"));
  }
}

TEST(SessionStore, ExpiredSessionsAreSweptAFewAtATime) {
  FakeClock clock;
  SessionStoreOptions options;
  options.idle = minutes(20);
  options.sweep_batch = 10;
  options.clock = clock.Function();
  SessionStore store(options);
  for (int i = 0; i < 100; ++i) MadeSession(store);
  std::string live = MadeSession(store);
  clock.Advance(minutes(15));
  store.Acquire(WithId(live));  // used since: it stays
  clock.Advance(minutes(6));
  MadeSession(store);
  EXPECT_EQ(store.size(), 100u - 10u + 2u) << "one request sweeps a bounded share";
  for (int i = 0; i < 9; ++i) {
    SessionStore::Lease lease = store.Acquire(WithId(std::string(32, 'a')));
    lease.DiscardIfNew();
  }
  EXPECT_EQ(store.size(), 2u);
  EXPECT_FALSE(store.Acquire(WithId(live)).is_new());
}

TEST(SessionStore, RequestsOfOneSessionRunOneAtATime) {
  SessionStore store;
  std::string id = MadeSession(store);
  std::atomic<int> inside{0};
  std::atomic<int> most_inside{0};
  constexpr int kThreads = 4, kRequests = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRequests; ++i) {
        SessionStore::Lease lease = store.Acquire(WithId(id));
        int now_inside = ++inside;
        int seen = most_inside.load();
        while (now_inside > seen && !most_inside.compare_exchange_weak(seen, now_inside)) {
        }
        // A read, then a write: lost updates show two requests at once.
        Session& session = lease.session();
        long long count = session.Contains("count") ? session.Value("count").long_value() : 0;
        std::this_thread::yield();
        session.SetValue("count", Variant(count + 1));
        --inside;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(most_inside.load(), 1);
  EXPECT_EQ(store.Acquire(WithId(id)).session().Value("count").long_value(),
            kThreads * kRequests);
}

// A request that waited while another request of its session logged out or
// logged in does not carry on with the session under the old id.
TEST(SessionStore, ARequestWaitingOnALogoutOrLoginGetsANewSession) {
  for (bool logout : {true, false}) {
    SessionStore store;
    std::string id = MadeSession(store);
    std::string waiter_id;
    bool waiter_is_new = false, waiter_logged_in = true;
    {
      std::optional<SessionStore::Lease> running(store.Acquire(WithId(id)));
      std::thread waiter([&] {
        SessionStore::Lease lease = store.Acquire(WithId(id));
        waiter_id = lease.id();
        waiter_is_new = lease.is_new();
        waiter_logged_in = lease.session().Contains("UserOk");
      });
      // Give the waiter a moment to block on the session (the outcome is
      // the same if it comes later).
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (logout) {
        running->End();
      } else {
        running->Renew();
      }
      running.reset();  // the request ends: the waiter goes on
      waiter.join();
    }
    EXPECT_TRUE(waiter_is_new) << (logout ? "logout" : "login");
    EXPECT_NE(waiter_id, id);
    EXPECT_FALSE(waiter_logged_in) << (logout ? "logout" : "login");
  }
}

}  // namespace
}  // namespace tabrix::site
