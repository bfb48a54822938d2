#include "host/clock.h"

#include <ctime>

#include "host/variant_ops.h"

namespace tabrix {

namespace {
std::optional<DateValue> g_fixed_now;
}

DateValue Now() {
  if (g_fixed_now) return *g_fixed_now;
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return MakeDate(CivilTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                            local.tm_min, local.tm_sec});
}

void SetFixedNow(std::optional<DateValue> now) { g_fixed_now = now; }

}  // namespace tabrix
