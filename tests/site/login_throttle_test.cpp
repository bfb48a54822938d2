// Login throttling with a clock the test drives: ten failures within the
// window lock a name out for the lockout, whatever letter case it is typed
// in; older failures, a success and the end of the lock let it try again;
// the names tracked stay bounded.
#include "site/session/login_throttle.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace tabrix::site {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;
using Clock = LoginThrottle::Clock;

const Clock::time_point kStart = Clock::time_point() + std::chrono::hours(1000);

void FailTimes(LoginThrottle& throttle, std::string_view name, int times, Clock::time_point at) {
  for (int i = 0; i < times; ++i) throttle.Failed(name, at);
}

TEST(LoginThrottle, TheTenthFailureWithinTheWindowLocksTheNameForTheLockout) {
  LoginThrottle throttle;
  for (int i = 0; i < 9; ++i) {
    EXPECT_FALSE(throttle.Refused("admin", kStart + minutes(i))) << "failure " << i;
    throttle.Failed("admin", kStart + minutes(i));
  }
  EXPECT_FALSE(throttle.Refused("admin", kStart + minutes(9)));
  throttle.Failed("admin", kStart + minutes(9));  // the tenth, 9 minutes after the first
  const Clock::time_point locked_at = kStart + minutes(9);

  EXPECT_TRUE(throttle.Refused("admin", locked_at));
  EXPECT_TRUE(throttle.Refused("admin", locked_at + minutes(15) - seconds(1)));
  EXPECT_FALSE(throttle.Refused("admin", locked_at + minutes(15)));
  EXPECT_FALSE(throttle.Refused("other", locked_at)) << "only the name is locked";
  // Attempts refused during the lock do not extend it.
  throttle.Failed("admin", locked_at + minutes(10));
  EXPECT_FALSE(throttle.Refused("admin", locked_at + minutes(15)));
  // After the lock the name starts afresh: one failure does not lock it again.
  throttle.Failed("admin", locked_at + minutes(16));
  EXPECT_FALSE(throttle.Refused("admin", locked_at + minutes(16)));
}

TEST(LoginThrottle, NamesMatchIgnoringLetterCaseWithoutALocale) {
  struct Case {
    const char* failed_as;
    const char* tried_as;
    bool refused;
  };
  const Case cases[] = {
      {"Admin", "aDMIN", true},
      {"ÄDMIN", "ädmin", true},
      {"IRMAK", "irmak", true},  // no Turkish dotless i: I folds to i
      {"admin", "admin ", false},
      {"admin", "admi", false},
  };
  for (const Case& c : cases) {
    LoginThrottle throttle;
    FailTimes(throttle, c.failed_as, 10, kStart);
    EXPECT_EQ(throttle.Refused(c.tried_as, kStart), c.refused) << c.failed_as << " / " << c.tried_as;
  }
  LoginThrottle mixed;
  for (const char* typed : {"bob", "BOB", "Bob", "bOb", "boB", "BOb", "bOB", "BoB", "bob", "BOB"})
    mixed.Failed(typed, kStart);
  EXPECT_TRUE(mixed.Refused("bob", kStart)) << "failures in any case count for one name";
}

TEST(LoginThrottle, FailuresOutsideTheWindowAndASuccessDoNotCount) {
  LoginThrottle throttle;
  // Nine failures, then the window moves past the first: the tenth failure
  // finds only nine within 15 minutes.
  throttle.Failed("spread", kStart);
  FailTimes(throttle, "spread", 8, kStart + minutes(10));
  throttle.Failed("spread", kStart + minutes(15));
  EXPECT_FALSE(throttle.Refused("spread", kStart + minutes(15)));
  throttle.Failed("spread", kStart + minutes(16));
  EXPECT_TRUE(throttle.Refused("spread", kStart + minutes(16)));

  FailTimes(throttle, "forgetful", 9, kStart);
  throttle.Succeeded("FORGETFUL");
  throttle.Failed("forgetful", kStart);
  EXPECT_FALSE(throttle.Refused("forgetful", kStart)) << "a success forgets the failures";
}

TEST(LoginThrottle, TheNamesTrackedStayBounded) {
  LoginThrottleOptions options;
  options.max_names = 100;
  LoginThrottle throttle(options);
  FailTimes(throttle, "victim", 10, kStart);
  for (int i = 0; i < 1000; ++i)
    throttle.Failed("guess" + std::to_string(i), kStart + std::chrono::milliseconds(i));
  EXPECT_LE(throttle.size(), 100u);
  EXPECT_TRUE(throttle.Refused("victim", kStart + seconds(1)))
      << "a flood of other names does not push a locked name out";

  // Records that no longer count are swept once their time has passed.
  throttle.Failed("late", kStart + std::chrono::hours(2));
  EXPECT_EQ(throttle.size(), 1u);
}

TEST(LoginThrottle, ThreadsShareOneCount) {
  LoginThrottle throttle;
  std::vector<std::thread> threads;
  for (int t = 0; t < 5; ++t)
    threads.emplace_back([&] { FailTimes(throttle, "shared", 2, kStart); });
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(throttle.Refused("shared", kStart));
}

}  // namespace
}  // namespace tabrix::site
