#include "component/process_limits.h"

#include <atomic>
#include <forward_list>
#include <mutex>
#include <string>

#include "host/error.h"

namespace tabrix {

namespace {

const ProcessLimits kDefaults;

std::atomic<const ProcessLimits*> current_limits{&kDefaults};

// Every copy ever published, so that a reference handed out stays valid.
std::mutex published_mutex;
std::forward_list<ProcessLimits> published;  // guarded by published_mutex

}  // namespace

const ProcessLimits& CurrentProcessLimits() {
  return *current_limits.load(std::memory_order_acquire);
}

void SetProcessLimits(const ProcessLimits& limits) {
  if (limits.max_page_size < 1) {
    RaiseError(kErrInvalidArgument, "max_page_size must be 1 or more, not " +
                                        std::to_string(limits.max_page_size));
  }
  std::lock_guard<std::mutex> lock(published_mutex);
  published.push_front(limits);
  current_limits.store(&published.front(), std::memory_order_release);
}

}  // namespace tabrix
