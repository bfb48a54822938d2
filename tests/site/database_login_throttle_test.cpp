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

constexpr const char* kA = "192.0.2.1";

bool Locked(DatabaseLoginThrottle& throttle, std::string_view name, Clock::time_point at,
            std::string_view address = kA) {
  return throttle.Refused(name, address, at) != LoginRefusal::kNone;
}

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

  one.Failed("Ada", kA, t0);
  two.Failed("ADA", kA, t0 + seconds(10));  // names fold as the login folds them
  EXPECT_FALSE(Locked(one, "ada", t0 + seconds(20)));
  one.Failed("ada", kA, t0 + seconds(20));
  for (DatabaseLoginThrottle* server : {&one, &two}) {
    EXPECT_TRUE(Locked(*server, "Ada", t0 + seconds(21)));
    EXPECT_FALSE(Locked(*server, "grace", t0 + seconds(21))) << "other names go on";
    EXPECT_TRUE(Locked(*server, "Ada", t0 + seconds(20) + minutes(5) - seconds(1)));
    EXPECT_FALSE(Locked(*server, "Ada", t0 + seconds(20) + minutes(5)));
  }
  // Refused attempts do not extend the lock.
  two.Failed("ada", kA, t0 + minutes(2));
  EXPECT_FALSE(Locked(one, "ada", t0 + seconds(20) + minutes(5)));

  // Failures that left the window no longer count.
  Clock::time_point t1 = t0 + minutes(10);
  one.Failed("bob", kA, t1);
  two.Failed("bob", kA, t1 + seconds(30));
  one.Failed("bob", kA, t1 + minutes(1));  // the first has left the window
  EXPECT_FALSE(Locked(two, "bob", t1 + minutes(1)));
  two.Failed("bob", kA, t1 + minutes(1) + seconds(1));
  EXPECT_TRUE(Locked(one, "bob", t1 + minutes(1) + seconds(2)));

  // A successful login on one server forgets the failures on both.
  one.Failed("cy", kA, t1);
  one.Failed("cy", kA, t1);
  two.Succeeded("CY", kA);
  one.Failed("cy", kA, t1);
  EXPECT_FALSE(Locked(two, "cy", t1));
}

TEST(DatabaseLoginThrottle, CountsPerNameAndAddressPerAddressAndPerName) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  LoginThrottleOptions options = ThreeInAMinute();
  options.max_address_failures = 5;
  options.max_name_failures = 6;
  DatabaseLoginThrottle one(db.params(), options), two(db.params(), options);
  Clock::time_point t0 = Clock::time_point(std::chrono::hours(500000));
  const char* kB = "198.51.100.2";

  for (int i = 0; i < 3; ++i) one.Failed("admin", kB, t0);
  EXPECT_EQ(two.Refused("admin", kB, t0), LoginRefusal::kName);
  EXPECT_EQ(two.Refused("admin", kA, t0), LoginRefusal::kNone)
      << "a guesser does not lock the owner out";
  one.Failed("x", kB, t0);
  two.Failed("y", kB, t0);
  EXPECT_EQ(one.Refused("anyone", kB, t0), LoginRefusal::kAddress);
  EXPECT_EQ(one.Refused("anyone", kA, t0), LoginRefusal::kNone);

  // One name from many addresses: locked for all at the higher limit.
  for (int i = 0; i < 5; ++i) two.Failed("grace", "203.0.113." + std::to_string(i), t0);
  EXPECT_FALSE(Locked(one, "grace", t0));
  one.Failed("grace", "203.0.113.9", t0);
  EXPECT_EQ(one.Refused("grace", kA, t0), LoginRefusal::kName);
}

TEST(DatabaseLoginThrottle, TheTableIsTrimmedKeepingLocks) {
  TABRIX_REQUIRE_PG();
  testing::PgTestDatabase db;
  LoginThrottleOptions options = ThreeInAMinute();
  options.max_entries = 20;
  DatabaseLoginThrottle throttle(db.params(), options);
  Clock::time_point t0 = Clock::time_point(std::chrono::hours(500000));
  for (int i = 0; i < 3; ++i) throttle.Failed("victim", kA, t0);
  for (int i = 0; i < 60; ++i)
    throttle.Failed("guess" + std::to_string(i), "10.0.0." + std::to_string(i),
                    t0 + std::chrono::milliseconds(i));
  EXPECT_LE(throttle.rows(), 20 + 20 / 10 + 3);
  EXPECT_TRUE(Locked(throttle, "victim", t0 + seconds(1)));
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
      for (int i = 0; i < 2; ++i) server->Failed("ada", kA, t0);
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(Locked(one, "ada", t0 + seconds(1))) << "a lost update would leave it open";
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
  for (int i = 0; i < 3; ++i) throttle.Failed("ada", kA, t0);
  ASSERT_TRUE(server.Stop());
  EXPECT_THROW(Locked(throttle, "ada", t0), SessionStoreError);
  EXPECT_THROW(throttle.Failed("bob", kA, t0), SessionStoreError);
  ASSERT_TRUE(server.Start());
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_TRUE(Locked(throttle, "ada", t0 + seconds(1))) << "the lock outlived the outage";
}

}  // namespace
}  // namespace tabrix::site
