// The process limits: their defaults, a set that puts all of them in force
// at once, a refused set that changes nothing, and readers on other threads
// that always see one whole set.
#include "component/process_limits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "support/error_number.h"
#include "support/process_limits_scope.h"

namespace tabrix {
namespace {

using testing::ErrorNumberOf;

TEST(ProcessLimits, StartWithTheDefaultsAndTakeWhatIsSet) {
  EXPECT_EQ(CurrentProcessLimits().max_page_size, 1000);
  {
    testing::ProcessLimitsScope scope(ProcessLimits{.max_page_size = 7});
    EXPECT_EQ(CurrentProcessLimits().max_page_size, 7);
  }
  EXPECT_EQ(CurrentProcessLimits().max_page_size, 1000);
}

TEST(ProcessLimits, ASizeBelowOneIsRefusedAndChangesNothing) {
  testing::ProcessLimitsScope scope(ProcessLimits{.max_page_size = 7});
  for (std::int64_t size : {0LL, -1LL, static_cast<long long>(INT64_MIN)}) {
    EXPECT_EQ(ErrorNumberOf([&] { SetProcessLimits(ProcessLimits{.max_page_size = size}); }),
              kErrInvalidArgument)
        << size;
    EXPECT_EQ(CurrentProcessLimits().max_page_size, 7);
  }
}

TEST(ProcessLimits, ReadersOnOtherThreadsSeeOnlyValuesThatWereSet) {
  testing::ProcessLimitsScope scope(ProcessLimits{.max_page_size = 10});
  std::atomic<bool> stray{false};
  std::atomic<bool> writing{true};
  std::vector<std::thread> readers;
  for (int t = 0; t < 2; ++t) {
    readers.emplace_back([&] {
      // At least a few reads, and no more than the bound, whatever the pace.
      for (int i = 0; i < 200000 && (writing || i < 1000); ++i) {
        std::int64_t size = CurrentProcessLimits().max_page_size;
        if (size != 10 && size != 20) stray = true;
      }
    });
  }
  for (int i = 0; i < 200; ++i) SetProcessLimits(ProcessLimits{.max_page_size = i % 2 ? 20 : 10});
  writing = false;
  for (std::thread& reader : readers) reader.join();
  EXPECT_FALSE(stray);
}

}  // namespace
}  // namespace tabrix
