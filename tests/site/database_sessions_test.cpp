// Sessions kept in the site's PostgreSQL database: two stores on one
// database stand for two servers of one site. A session made on one is
// found on the other with every value; a new id at login and none after
// logout hold on both; idle sessions end and are swept; the requests of
// one session run one at a time across both; a lock held too long answers
// busy; a database that is away fails clearly and is used again when back.
// A site keeps a row only for a login, and no row holds a setting; rows of
// the earlier format go at start; a stored login ends when its user number
// names someone else after a restart.
#include "site/session/database_sessions.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <limits>
#include <map>
#include <thread>
#include <vector>

#include "site/config.h"
#include "site/pages/site_handler.h"

#include "host/scripting/dictionary.h"
#include "pg_test_server.h"

namespace tabrix::site {
namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;
using std::chrono::seconds;

HttpRequest WithId(const std::string& id) {
  HttpRequest request;
  request.method = "GET";
  request.target = request.path = "/";
  if (!id.empty())
    request.headers.emplace_back("cookie", std::string(SessionStore::kCookieName) + "=" + id);
  return request;
}

// A wall clock the test moves by hand.
struct FakeWallClock {
  std::shared_ptr<std::chrono::system_clock::time_point> now =
      std::make_shared<std::chrono::system_clock::time_point>(std::chrono::hours(500000));
  void Advance(std::chrono::system_clock::duration by) { *now += by; }
  std::function<std::chrono::system_clock::time_point()> Function() const {
    auto shared = now;
    return [shared] { return *shared; };
  }
};

// One server's store on the database of `params`.
struct Server {
  Server(const PgParams& params, DatabaseSessionsOptions options = {})
      : backing(std::make_shared<DatabaseSessions>(params, options)),
        store(SessionStoreOptions{}, backing) {}
  std::shared_ptr<DatabaseSessions> backing;
  SessionStore store;

  // A new session holding `key` = `value`, finished; its id.
  std::string Made(const char* key = "UserOk", Variant value = Variant("yes")) {
    SessionStore::Lease lease = store.Acquire(WithId(""));
    lease.session().SetValue(key, value);
    lease.Finish();
    return lease.id();
  }
};

// The rows of tabrix.sessions: id -> data.
std::map<std::string, std::string> Rows(const testing::PgTestDatabase& db) {
  PgConnections connections(db.params(), PgOptions{});
  PgResult result =
      connections.Borrow().Exec("SELECT id, data FROM tabrix.sessions", {}, true);
  std::map<std::string, std::string> rows;
  for (int r = 0; r < result.rows(); ++r)
    rows[std::string(result.Get(r, 0))] = std::string(result.Get(r, 1));
  return rows;
}

TEST(DatabaseSessions, ASessionMadeOnOneServerIsFoundOnTheOtherWithItsValues) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  Server one(db.params()), two(db.params());

  auto names = std::make_shared<scripting::Dictionary>();
  const std::vector<std::pair<std::string, Variant>> values = {
      {"Empty", Variant()},
      {"Null", Variant::Null()},
      {"UserOk", Variant("yes")},
      {"UserId", Variant(3)},
      {"Ratio", Variant(0.1)},
      {"Price", Variant(CurrencyValue{123450})},
      {"Exact", Variant(DecimalValue{12345, 0, 2, true})},
      {"When", Variant(DateValue{38051.5})},
      {"Blob", Variant::Binary({0, 255, 10})},
      {"Flag", Variant(true)},
  };
  std::string id;
  {
    SessionStore::Lease lease = one.store.Acquire(WithId(""));
    for (const auto& [key, value] : values) lease.session().SetValue(key, value);
    lease.session().SetValue("FL_t_names", Variant(names));
    lease.Finish();
    id = lease.id();
    EXPECT_FALSE(lease.SetCookie().empty());
  }
  {
    SessionStore::Lease lease = two.store.Acquire(WithId(id));
    EXPECT_FALSE(lease.is_new());
    EXPECT_EQ(lease.id(), id);
    EXPECT_EQ(lease.SetCookie(), "");
    for (const auto& [key, value] : values) {
      EXPECT_TRUE(lease.session().Contains(key)) << key;
      EXPECT_TRUE(lease.session().Value(key).Identical(value)) << key;
    }
    EXPECT_FALSE(lease.session().Contains("FL_t_names")) << "objects stay with their process";
  }
  {
    SessionStore::Lease lease = one.store.Acquire(WithId(id));
    ASSERT_TRUE(lease.session().Value("FL_t_names").IsObject());
    EXPECT_EQ(lease.session().Value("FL_t_names").object().get(), names.get())
        << "the process that made the object still has it";
  }
  {
    SessionStore::Lease lease = two.store.Acquire(WithId(id));
    lease.session().SetValue("msg", Variant("from two"));
  }  // finished by the lease going
  SessionStore::Lease back = one.store.Acquire(WithId(id));
  EXPECT_EQ(back.session().Value("msg").string(), "from two");
  EXPECT_TRUE(back.session().Value("UserId").Identical(Variant(3)));
}

TEST(DatabaseSessions, ANewSessionDiscardedLeavesNoRowAndNoCookie) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  Server one(db.params()), two(db.params());
  std::string id;
  {
    SessionStore::Lease lease = one.store.Acquire(WithId(""));
    lease.session().SetValue("msg", Variant("anonymous"));
    lease.DiscardIfNew();
    lease.Finish();
    id = lease.id();
    EXPECT_EQ(lease.SetCookie(), "") << "no cookie names a session that was not kept";
  }
  for (Server* server : {&one, &two}) {
    SessionStore::Lease lease = server->store.Acquire(WithId(id));
    EXPECT_TRUE(lease.is_new());
    EXPECT_NE(lease.id(), id);
    EXPECT_FALSE(lease.session().Contains("msg"));
    lease.DiscardIfNew();
  }
  // A session that was stored is not new, and discarding leaves it alone.
  std::string kept = one.Made();
  {
    SessionStore::Lease lease = two.store.Acquire(WithId(kept));
    lease.DiscardIfNew();
    lease.session().SetValue("msg", Variant("kept"));
  }
  SessionStore::Lease back = one.store.Acquire(WithId(kept));
  EXPECT_FALSE(back.is_new());
  EXPECT_EQ(back.session().Value("msg").string(), "kept");
}

TEST(DatabaseSessions, LoginRenewsAndLogoutEndsTheSessionOnEveryServer) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  Server one(db.params()), two(db.params());
  for (bool logout : {false, true}) {
    SCOPED_TRACE(logout ? "logout" : "login");
    std::string old_id = one.Made("set_dns", Variant("x"));
    std::string new_id;
    {
      SessionStore::Lease lease = two.store.Acquire(WithId(old_id));
      if (logout) {
        lease.End();
      } else {
        lease.Renew();
        lease.session().SetValue("UserOk", Variant("yes"));
      }
      lease.Finish();
      new_id = lease.id();
      EXPECT_NE(lease.SetCookie().find(new_id), std::string::npos);
    }
    ASSERT_NE(new_id, old_id);
    for (Server* server : {&one, &two}) {
      SessionStore::Lease old = server->store.Acquire(WithId(old_id));
      EXPECT_TRUE(old.is_new()) << "the old id finds nothing";
      EXPECT_FALSE(old.session().Contains("set_dns"));
    }
    SessionStore::Lease renewed = one.store.Acquire(WithId(new_id));
    EXPECT_FALSE(renewed.is_new());
    EXPECT_EQ(renewed.session().Contains("set_dns"), !logout);
    EXPECT_EQ(renewed.session().Contains("UserOk"), !logout);
  }
}

TEST(DatabaseSessions, AnIdleSessionEndsAndExpiredRowsAreSwept) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  FakeWallClock clock;
  DatabaseSessionsOptions options;
  options.idle = minutes(20);
  options.clock = clock.Function();
  options.sweep_interval = std::chrono::hours(1000);  // only the test sweeps
  options.sweep_batch = 2;
  Server one(db.params(), options), two(db.params(), options);
  std::string id = one.Made();

  clock.Advance(minutes(20));  // idle exactly the idle time: still there
  EXPECT_FALSE(two.store.Acquire(WithId(id)).is_new());
  clock.Advance(minutes(19));  // each use, on any server, starts it again
  EXPECT_FALSE(one.store.Acquire(WithId(id)).is_new());
  clock.Advance(minutes(20) + seconds(1));
  EXPECT_TRUE(two.store.Acquire(WithId(id)).is_new());
  EXPECT_TRUE(one.store.Acquire(WithId(id)).is_new()) << "the local copy does not revive it";

  // Rows of sessions gone idle are swept in bounded batches; live ones stay.
  clock.Advance(minutes(21));  // the sessions just made expire too
  for (int i = 0; i < 3; ++i) one.Made();
  std::string live = one.Made();
  clock.Advance(minutes(15));
  one.store.Acquire(WithId(live));  // keeps `live` alive
  clock.Advance(minutes(6));
  long long swept = 0;
  for (int round = 0; round < 10; ++round) {
    long long n = one.backing->Sweep();
    EXPECT_LE(n, 2);
    if (n == 0) break;
    swept += n;
  }
  EXPECT_EQ(swept, 6) << "the first session, the two just made and three more";
  EXPECT_FALSE(two.store.Acquire(WithId(live)).is_new());
}

TEST(DatabaseSessions, AUseRewritesTheRowOnlyOnceItsExpiryLagsATwentiethOfTheIdleTime) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  FakeWallClock clock;
  DatabaseSessionsOptions options;
  options.idle = minutes(20);
  options.clock = clock.Function();
  Server one(db.params(), options);
  std::string id = one.Made();
  // The row's version, which every write of it moves.
  auto version = [&] {
    PgConnections connections(db.params(), PgOptions{});
    return std::string(connections.Borrow()
                           .Exec("SELECT xmin::text FROM tabrix.sessions WHERE id = $1",
                                 {PgParam{id}})
                           .Get(0, 0));
  };
  std::string made = version();
  clock.Advance(seconds(59));
  EXPECT_FALSE(one.store.Acquire(WithId(id)).is_new());
  EXPECT_EQ(version(), made) << "a read within the minute writes nothing";
  clock.Advance(seconds(2));
  EXPECT_FALSE(one.store.Acquire(WithId(id)).is_new());
  EXPECT_NE(version(), made);
  clock.Advance(minutes(20));  // idle the idle time since that use: still there
  EXPECT_FALSE(one.store.Acquire(WithId(id)).is_new());
}

TEST(DatabaseSessions, RequestsOfOneSessionRunOneAtATimeAcrossServers) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  Server one(db.params()), two(db.params());
  std::string id = one.Made("count", Variant(0));
  std::atomic<int> inside{0}, most_inside{0};
  constexpr int kRequests = 40;
  auto requests = [&](Server& server) {
    for (int i = 0; i < kRequests; ++i) {
      SessionStore::Lease lease = server.store.Acquire(WithId(id));
      int now_inside = ++inside;
      int seen = most_inside.load();
      while (now_inside > seen && !most_inside.compare_exchange_weak(seen, now_inside)) {
      }
      // A read, then a write: lost updates show two requests at once.
      long long count = lease.session().Value("count").long_value();
      std::this_thread::sleep_for(milliseconds(1));
      lease.session().SetValue("count", Variant(count + 1));
      --inside;
      lease.Finish();
    }
  };
  std::vector<std::thread> threads;
  for (Server* server : {&one, &two, &one, &two})
    threads.emplace_back([&, server] { requests(*server); });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(most_inside.load(), 1);
  EXPECT_EQ(two.store.Acquire(WithId(id)).session().Value("count").long_value(), 4 * kRequests);
}

TEST(DatabaseSessions, ALockHeldTooLongAnswersBusyNotAHang) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  DatabaseSessionsOptions quick;
  quick.connections.wait = milliseconds(300);
  Server one(db.params()), two(db.params(), quick);
  std::string id = one.Made();
  SessionStore::Lease running = one.store.Acquire(WithId(id));
  auto start = std::chrono::steady_clock::now();
  try {
    two.store.Acquire(WithId(id));
    ADD_FAILURE() << "a second request ran beside the first";
  } catch (const SessionStoreError& e) {
    EXPECT_TRUE(e.busy()) << e.what();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(5));
  running.Finish();
  EXPECT_FALSE(two.store.Acquire(WithId(id)).is_new()) << "free again once the first is done";
}

TEST(DatabaseSessions, ADatabaseThatIsAwayFailsClearlyAndIsUsedAgainWhenBack) {
  TABRIX_REQUIRE_PG();
  testing::PrivatePgServer server;
  ASSERT_TRUE(server.ok());
  std::string id;
  {
    testing::PgTestDatabase db(server.keywords());
    DatabaseSessionsOptions options;
    options.connections.retry_after = milliseconds(100);
    options.connections.connect_timeout = seconds(2);
    Server one(db.params(), options);
    id = one.Made();

    ASSERT_TRUE(server.Stop());
    for (const std::string& sent : {id, std::string()}) {
      auto start = std::chrono::steady_clock::now();
      try {
        SessionStore::Lease lease = one.store.Acquire(WithId(sent));
        lease.Finish();  // a new session fails only here, when it is stored
        ADD_FAILURE() << "served without its database";
      } catch (const SessionStoreError& e) {
        EXPECT_FALSE(e.busy()) << e.what();
        EXPECT_NE(std::string(e.what()).find("cannot be reached"), std::string::npos) << e.what();
      }
      EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(5));
    }

    ASSERT_TRUE(server.Start());
    bool back = false;
    for (int i = 0; i < 50 && !back; ++i) {  // at most 5 s
      try {
        back = !one.store.Acquire(WithId(id)).is_new();
      } catch (const SessionStoreError&) {
        std::this_thread::sleep_for(milliseconds(100));
      }
    }
    EXPECT_TRUE(back) << "the session is found again once the database is back";
    EXPECT_FALSE(one.Made().empty());
  }
}

TEST(DatabaseSessions, RowsOfTheEarlierFormatAreDeletedAtStart) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  std::string kept;
  {
    Server before(db.params());
    kept = before.Made();
  }
  // A row as an earlier version wrote it: "TBS" 1, one entry set_dns.
  std::string old_id(32, 'b');
  testing::RunSql(db.keywords(), "INSERT INTO tabrix.sessions VALUES ('" + old_id +
                                     "', '\\x5442530101077365745f646e73080178'::bytea, " +
                                     std::to_string(std::numeric_limits<long long>::max()) + ")");
  ASSERT_EQ(Rows(db).size(), 2u);
  Server after(db.params());
  after.backing->Start();
  std::map<std::string, std::string> rows = Rows(db);
  EXPECT_EQ(rows.size(), 1u);
  EXPECT_TRUE(rows.contains(kept));
  EXPECT_FALSE(after.store.Acquire(WithId(kept)).is_new());
}

// A site whose sessions live in the database of `db`, its users as given
// ("set_user1_username = ..." lines).
class DatabaseSite {
 public:
  DatabaseSite(const testing::PgTestDatabase& db, const std::string& users) {
    dir_ = std::filesystem::temp_directory_path() /
           ("tabrix_db_site_" + std::to_string(getpid()) + "_" + std::to_string(++count_));
    std::filesystem::create_directories(dir_);
    std::string text = "[session_store]\nkind = \"database\"\n[session]\n"
                       "set_dns = \"" + db.connection_string() + "\"\n"
                       "set_encryptkey = \"k3y-secret\"\n" + users;
    SiteConfig config = ParseConfig(text, dir_ / "site.toml");
    ApplyProcessSettings(&config, std::nullopt);
    handler_ = std::make_unique<SiteHandler>(config);
  }
  ~DatabaseSite() {
    handler_.reset();
    std::filesystem::remove_all(dir_);
  }

  HttpResponse Send(const std::string& method, const std::string& target,
                    const std::string& cookie, const std::string& body = "") {
    HttpRequest request;
    request.method = method;
    request.target = request.path = target;
    request.headers.emplace_back("host", "127.0.0.1:8080");
    if (method == "POST") {
      request.headers.emplace_back("origin", "http://127.0.0.1:8080");
      request.headers.emplace_back("content-type", "application/x-www-form-urlencoded");
    }
    if (!cookie.empty()) request.headers.emplace_back("cookie", cookie);
    request.remote_address = "127.0.0.1";
    request.body = body;
    return handler_->Handle(request);
  }

  static bool SentToLogin(const HttpResponse& response) {
    return response.status == 302 && response.Header("location").value_or("") == "Login.asp";
  }

 private:
  static inline int count_ = 0;
  std::filesystem::path dir_;
  std::unique_ptr<SiteHandler> handler_;
};

constexpr const char* kAdaFirst =
    "set_user1_username = \"ada\"\nset_user1_password = \"pw1-secret\"\n"
    "set_user1_CanTable = \"Nothing[V]\"\n";

TEST(DatabaseSessions, ASiteKeepsARowOnlyForALoginAndNoRowHoldsASetting) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  DatabaseSite site(db, kAdaFirst);
  HttpResponse visits[] = {
      site.Send("GET", "/Login.asp", ""),
      site.Send("GET", "/", ""),
      site.Send("POST", "/Login.asp", "", "username=ada&password=wrong"),
  };
  for (const HttpResponse& visit : visits) EXPECT_EQ(visit.Header("set-cookie"), std::nullopt);
  EXPECT_TRUE(Rows(db).empty());

  HttpResponse login = site.Send("POST", "/Login.asp", "", "username=ada&password=pw1-secret");
  ASSERT_EQ(login.status, 302);
  std::map<std::string, std::string> rows = Rows(db);
  ASSERT_EQ(rows.size(), 1u);
  const std::string& data = rows.begin()->second;
  for (const std::string& secret :
       {std::string("pw1-secret"), std::string("k3y-secret"), db.connection_string(),
        std::string("set_")})
    EXPECT_EQ(data.find(secret), std::string::npos) << secret;
  EXPECT_LT(data.size(), 200u) << "a login keeps a few values of its own";
}

TEST(DatabaseSessions, AStoredLoginEndsWhenItsUserNumberNamesSomeoneElse) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  std::string cookie;
  {
    DatabaseSite before(db, kAdaFirst);
    HttpResponse login = before.Send("POST", "/Login.asp", "", "username=ada&password=pw1-secret");
    ASSERT_EQ(login.status, 302);
    std::string set = login.Header("set-cookie").value_or("");
    cookie = set.substr(0, set.find(';'));
  }
  {
    // Restarted with the same user (the name in another letter case).
    DatabaseSite same(db,
                      "set_user1_username = \"ADA\"\nset_user1_password = \"new\"\n"
                      "set_user1_CanTable = \"Nothing[V]\"\n");
    EXPECT_FALSE(DatabaseSite::SentToLogin(same.Send("GET", "/", cookie)));
  }
  // Restarted with user number 1 now someone else: the login is over.
  DatabaseSite changed(db,
                       "set_user1_username = \"eve\"\nset_user1_password = \"pw9\"\n"
                       "set_user2_username = \"ada\"\nset_user2_password = \"pw1-secret\"\n");
  HttpResponse home = changed.Send("GET", "/", cookie);
  EXPECT_TRUE(DatabaseSite::SentToLogin(home));
  EXPECT_NE(home.Header("set-cookie").value_or("").find("Max-Age=0"), std::string::npos);
  EXPECT_TRUE(Rows(db).empty()) << "its row is gone";
  EXPECT_TRUE(DatabaseSite::SentToLogin(changed.Send("GET", "/", cookie)));
}

}  // namespace
}  // namespace tabrix::site
