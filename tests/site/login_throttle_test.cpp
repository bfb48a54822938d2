// Login throttling with a clock the test drives: failures count per name
// and address, per address over all names and per name over all
// addresses, each with its own limit; names fold as the login folds them;
// older failures, a success and the end of a lock let a visitor try again;
// every table stays bounded and keeps its locks longest.
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
constexpr const char* kGuesser = "198.51.100.7";
constexpr const char* kOwner = "192.0.2.1";

void FailTimes(LoginThrottle& throttle, std::string_view name, int times, Clock::time_point at,
               std::string_view address = kGuesser) {
  for (int i = 0; i < times; ++i) throttle.Failed(name, address, at);
}

bool Refused(LoginThrottle& throttle, std::string_view name, Clock::time_point at,
             std::string_view address = kGuesser) {
  return throttle.Refused(name, address, at) != LoginRefusal::kNone;
}

TEST(LoginThrottle, TheTenthFailureFromOneAddressLocksTheNameThereForTheLockout) {
  LoginThrottle throttle;
  for (int i = 0; i < 9; ++i) {
    EXPECT_FALSE(Refused(throttle, "admin", kStart + minutes(i))) << "failure " << i;
    throttle.Failed("admin", kGuesser, kStart + minutes(i));
  }
  throttle.Failed("admin", kGuesser, kStart + minutes(9));  // the tenth, 9 minutes after the first
  const Clock::time_point locked_at = kStart + minutes(9);

  EXPECT_EQ(throttle.Refused("admin", kGuesser, locked_at), LoginRefusal::kName);
  EXPECT_TRUE(Refused(throttle, "admin", locked_at + minutes(15) - seconds(1)));
  EXPECT_FALSE(Refused(throttle, "admin", locked_at + minutes(15)));
  EXPECT_FALSE(Refused(throttle, "other", locked_at)) << "only the name is locked";
  EXPECT_FALSE(Refused(throttle, "admin", locked_at, kOwner))
      << "the guesser does not lock the owner out";
  // Attempts refused during the lock do not extend it.
  throttle.Failed("admin", kGuesser, locked_at + minutes(10));
  EXPECT_FALSE(Refused(throttle, "admin", locked_at + minutes(15)));
  // After the lock the name starts afresh: one failure does not lock it again.
  throttle.Failed("admin", kGuesser, locked_at + minutes(16));
  EXPECT_FALSE(Refused(throttle, "admin", locked_at + minutes(16)));
}

TEST(LoginThrottle, AnAddressTryingManyNamesIsRefusedForEveryName) {
  LoginThrottle throttle;
  for (int i = 0; i < 29; ++i) throttle.Failed("user" + std::to_string(i), kGuesser, kStart);
  EXPECT_FALSE(Refused(throttle, "anyone", kStart));
  throttle.Failed("user29", kGuesser, kStart);
  EXPECT_EQ(throttle.Refused("anyone", kGuesser, kStart), LoginRefusal::kAddress);
  EXPECT_EQ(throttle.Refused("anyone", kOwner, kStart), LoginRefusal::kNone)
      << "other addresses go on";
  EXPECT_EQ(throttle.Refused("anyone", kGuesser, kStart + minutes(15)), LoginRefusal::kNone);
}

TEST(LoginThrottle, GuessingOneNameFromManyAddressesLocksItAtTheHigherLimit) {
  LoginThrottle throttle;
  auto Address = [](int i) { return "203.0.113." + std::to_string(i); };
  for (int i = 0; i < 99; ++i) throttle.Failed("admin", Address(i), kStart);
  EXPECT_FALSE(Refused(throttle, "admin", kStart, kOwner));
  throttle.Failed("admin", Address(99), kStart);
  EXPECT_EQ(throttle.Refused("admin", kOwner, kStart), LoginRefusal::kName);
  EXPECT_FALSE(Refused(throttle, "other", kStart, kOwner));
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
    EXPECT_EQ(Refused(throttle, c.tried_as, kStart), c.refused) << c.failed_as << " / " << c.tried_as;
  }
  LoginThrottle mixed;
  for (const char* typed : {"bob", "BOB", "Bob", "bOb", "boB", "BOb", "bOB", "BoB", "bob", "BOB"})
    mixed.Failed(typed, kGuesser, kStart);
  EXPECT_TRUE(Refused(mixed, "bob", kStart)) << "failures in any case count for one name";
}

TEST(LoginThrottle, FailuresOutsideTheWindowAndASuccessDoNotCount) {
  LoginThrottle throttle;
  // Nine failures, then the window moves past the first: the tenth failure
  // finds only nine within 15 minutes.
  throttle.Failed("spread", kGuesser, kStart);
  FailTimes(throttle, "spread", 8, kStart + minutes(10));
  throttle.Failed("spread", kGuesser, kStart + minutes(15));
  EXPECT_FALSE(Refused(throttle, "spread", kStart + minutes(15)));
  throttle.Failed("spread", kGuesser, kStart + minutes(16));
  EXPECT_TRUE(Refused(throttle, "spread", kStart + minutes(16)));

  FailTimes(throttle, "forgetful", 9, kStart, kOwner);
  throttle.Succeeded("FORGETFUL", kOwner);
  throttle.Failed("forgetful", kOwner, kStart);
  EXPECT_FALSE(Refused(throttle, "forgetful", kStart, kOwner)) << "a success forgets the failures";
}

TEST(LoginThrottle, EveryTableStaysBoundedAndKeepsItsLocks) {
  LoginThrottleOptions options;
  options.max_entries = 100;
  LoginThrottle throttle(options);
  FailTimes(throttle, "victim", 10, kStart);
  FailTimes(throttle, "x", 30, kStart, "192.0.2.99");  // an address locked out
  // A flood of names from fresh addresses fills all three tables.
  for (int i = 0; i < 1000; ++i)
    throttle.Failed("guess" + std::to_string(i), "10.0." + std::to_string(i / 250) + "." +
                                                     std::to_string(i % 250),
                    kStart + std::chrono::milliseconds(i));
  EXPECT_LE(throttle.size(), 300u);
  EXPECT_TRUE(Refused(throttle, "victim", kStart + seconds(1)))
      << "the flood does not push a locked name out";
  EXPECT_EQ(throttle.Refused("y", "192.0.2.99", kStart + seconds(1)), LoginRefusal::kAddress)
      << "nor a locked address";

  // Records that no longer count are swept once their time has passed.
  throttle.Failed("late", kGuesser, kStart + std::chrono::hours(2));
  EXPECT_EQ(throttle.size(), 3u);
}

TEST(LoginThrottle, ThreadsShareOneCount) {
  LoginThrottle throttle;
  std::vector<std::thread> threads;
  for (int t = 0; t < 5; ++t)
    threads.emplace_back([&] { FailTimes(throttle, "shared", 2, kStart); });
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(Refused(throttle, "shared", kStart));
}

}  // namespace
}  // namespace tabrix::site
