#include "pages/page_size.h"

#include <cmath>

#include "component/process_limits.h"

namespace tabrix {

std::int64_t BoundedPageSize(double requested) {
  if (!(requested > 0)) return 0;  // NaN too
  const std::int64_t most = CurrentProcessLimits().max_page_size;
  if (requested >= static_cast<double>(most)) return most;
  if (requested < 1) return 1;
  return static_cast<std::int64_t>(std::floor(requested));
}

}  // namespace tabrix
