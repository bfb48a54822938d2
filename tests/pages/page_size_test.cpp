// The bound on how many records a page takes from request "c": whole
// numbers from 1 to the process's max_page_size for any positive request,
// however small, fractional or large; 0 for none.
#include "pages/page_size.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/process_limits_scope.h"

namespace tabrix {
namespace {

TEST(BoundedPageSize, TakesAnyRequestIntoOneToTheProcessLimit) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  struct Case {
    double requested;
    std::int64_t max_page_size;
    std::int64_t expected;
  };
  const Case cases[] = {
      {50, 1000, 50},
      {1, 1000, 1},
      {2.5, 1000, 2},                  // the whole part
      {999.99, 1000, 999},
      {1e-16, 1000, 1},                // a fraction of one record is one
      {0.5, 1000, 1},
      {1000, 1000, 1000},
      {1000.5, 1000, 1000},
      {1000000, 1000, 1000},
      {9007199254740994.0, 1000, 1000},
      {1e308, 1000, 1000},
      {kInfinity, 1000, 1000},
      {1000000, 3, 3},
      {2, 3, 2},
      {0.5, 1, 1},
      {0, 1000, 0},                    // no record: the caller decides
      {-0.5, 1000, 0},
      {-50, 1000, 0},
      {-kInfinity, 1000, 0},
      {std::nan(""), 1000, 0},
  };
  for (const Case& c : cases) {
    testing::ProcessLimitsScope scope(ProcessLimits{.max_page_size = c.max_page_size});
    EXPECT_EQ(BoundedPageSize(c.requested), c.expected)
        << c.requested << " under " << c.max_page_size;
  }
}

}  // namespace
}  // namespace tabrix
