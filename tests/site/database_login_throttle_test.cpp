// The login throttle with its counts in PostgreSQL: two throttles on one
// database stand for two servers, so failures on either count together,
// and the lockout, the sliding window and a successful login hold on both.
#include "site/session/database_login_throttle.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "pg_test_server.h"

namespace tabrix::site {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;
using Clock = DatabaseLoginThrottle::Clock;

LoginThrottleOptions ThreeInAMinute() {
  LoginThrottleOptions options;
  options.max_failures = 3;
  options.window = minutes(1);
  options.lockout = minutes(5);
  return options;
}

TEST(DatabaseLoginThrottle, FailuresOnEitherServerCountTogether) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  DatabaseLoginThrottle one(db.params(), ThreeInAMinute()), two(db.params(), ThreeInAMinute());
  Clock::time_point t0 = Clock::time_point(std::chrono::hours(500000));

  one.Failed("Ada", t0);
  two.Failed("ADA", t0 + seconds(10));  // names fold as the login folds them
  EXPECT_FALSE(one.Refused("ada", t0 + seconds(20)));
  one.Failed("ada", t0 + seconds(20));
  for (DatabaseLoginThrottle* server : {&one, &two}) {
    EXPECT_TRUE(server->Refused("Ada", t0 + seconds(21)));
    EXPECT_FALSE(server->Refused("grace", t0 + seconds(21))) << "other names go on";
    EXPECT_TRUE(server->Refused("Ada", t0 + seconds(20) + minutes(5) - seconds(1)));
    EXPECT_FALSE(server->Refused("Ada", t0 + seconds(20) + minutes(5)));
  }
  // Refused attempts do not extend the lock.
  two.Failed("ada", t0 + minutes(2));
  EXPECT_FALSE(one.Refused("ada", t0 + seconds(20) + minutes(5)));

  // Failures that left the window no longer count.
  Clock::time_point t1 = t0 + minutes(10);
  one.Failed("bob", t1);
  two.Failed("bob", t1 + seconds(30));
  one.Failed("bob", t1 + minutes(1));  // the first has left the window
  EXPECT_FALSE(two.Refused("bob", t1 + minutes(1)));
  two.Failed("bob", t1 + minutes(1) + seconds(1));
  EXPECT_TRUE(one.Refused("bob", t1 + minutes(1) + seconds(2)));

  // A successful login on one server forgets the failures on both.
  one.Failed("cy", t1);
  one.Failed("cy", t1);
  two.Succeeded("CY");
  one.Failed("cy", t1);
  EXPECT_FALSE(two.Refused("cy", t1));
}

TEST(DatabaseLoginThrottle, FailuresAtTheSameMomentAreAllCounted) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  LoginThrottleOptions options = ThreeInAMinute();
  options.max_failures = 8;
  DatabaseLoginThrottle one(db.params(), options), two(db.params(), options);
  Clock::time_point t0 = Clock::time_point(std::chrono::hours(500000));
  std::vector<std::thread> threads;
  for (DatabaseLoginThrottle* server : {&one, &two, &one, &two})
    threads.emplace_back([server, t0] {
      for (int i = 0; i < 2; ++i) server->Failed("ada", t0);
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(one.Refused("ada", t0 + seconds(1))) << "a lost update would leave it open";
}

TEST(DatabaseLoginThrottle, ADatabaseThatIsAwayRefusesToCheckRatherThanLettingThrough) {
  TABRIX_REQUIRE_PG();
  testing::PrivatePgServer server;
  ASSERT_TRUE(server.ok());
  testing::PgTestDatabase db(server.keywords());
  PgOptions quick;
  quick.retry_after = std::chrono::milliseconds(100);
  quick.connect_timeout = seconds(2);
  DatabaseLoginThrottle throttle(db.params(), ThreeInAMinute(), quick);
  Clock::time_point t0 = Clock::time_point(std::chrono::hours(500000));
  for (int i = 0; i < 3; ++i) throttle.Failed("ada", t0);
  ASSERT_TRUE(server.Stop());
  EXPECT_THROW(throttle.Refused("ada", t0), SessionStoreError);
  EXPECT_THROW(throttle.Failed("bob", t0), SessionStoreError);
  ASSERT_TRUE(server.Start());
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_TRUE(throttle.Refused("ada", t0 + seconds(1))) << "the lock outlived the outage";
}

}  // namespace
}  // namespace tabrix::site
