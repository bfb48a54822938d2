#include "host/whole_number.h"

#include <cmath>

namespace tabrix {

std::optional<std::int64_t> ExactWholeNumber(double d) {
  constexpr double kTwoTo63 = 9223372036854775808.0;
  // Written so that NaN fails the range test too.
  if (!(d >= -kTwoTo63 && d < kTwoTo63) || d != std::trunc(d)) return std::nullopt;
  return static_cast<std::int64_t>(d);
}

}  // namespace tabrix
