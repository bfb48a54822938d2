// Limits that hold for the whole process rather than for one session: the
// bounds every request keeps, whoever sends it. The site's configuration
// sets them once at start-up (site::ApplyProcessSettings); the pages read
// them on every request.
//
// Threads: reading is lock-free and may happen on any thread at any time.
// A set publishes a new, never-changed copy of all the limits at once, so a
// reader sees either the old limits or the new ones, never a mix; a request
// that is already running may still use the old ones. Copies are kept for
// the life of the process: sets are rare (start-up, tests), reads are not.
#pragma once

#include <cstdint>

namespace tabrix {

struct ProcessLimits {
  // The most records one list page shows, and the most record slots the
  // bulk-action page walks. At least 1.
  std::int64_t max_page_size = 1000;
};

// The limits in force; the defaults above until SetProcessLimits is called.
// The reference stays valid for the life of the process.
const ProcessLimits& CurrentProcessLimits();

// Puts `limits` in force for every request that starts from now on. Raises 5
// (invalid argument) naming the limit when one is out of its range, and then
// changes nothing.
void SetProcessLimits(const ProcessLimits& limits);

}  // namespace tabrix
