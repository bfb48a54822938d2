#include "site/http/malloc_settings.h"

#include <malloc.h>

#include <cstdlib>
#include <string_view>

namespace tabrix::site {

namespace {

// Free memory each arena may keep at its top before trimming it. A request
// frees at most a few hundred kilobytes of page, layout and gzip buffers;
// an arena is used by one or a few threads (workers, I/O threads, main), so
// what stays resident beyond live data is a few megabytes per thread.
constexpr int kTrimThreshold = 4 << 20;

// Blocks from this size up are mapped on their own and unmapped at free, so
// a rare large answer (an export of many megabytes) is never kept. Setting
// the trim threshold turns off glibc's own moving threshold, which would
// otherwise stay at 128 KiB: pages of that size must still come from the
// arenas.
constexpr int kMmapThreshold = 1 << 20;

bool TunedByOperator(std::string_view name) {
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  return tunables != nullptr && std::string_view(tunables).find(name) != std::string_view::npos;
}

}  // namespace

void TuneMallocForServing() {
  if (!TunedByOperator("glibc.malloc.trim_threshold")) mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
  if (!TunedByOperator("glibc.malloc.mmap_threshold")) mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
}

}  // namespace tabrix::site
