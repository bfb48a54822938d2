// How many records one page takes: the list page's page size and the number
// of record slots the bulk-action page walks both come from the request item
// "c", which anyone can send, fractional or huge. Both pages bound it here,
// the same way, so that no request builds a page larger than the process
// allows (ProcessLimits::max_page_size).
#pragma once

#include <cstdint>

namespace tabrix {

// The number of records (or slots) for a request "c" of `requested`:
//   - above the process's max_page_size (infinity included): max_page_size;
//   - from 1 up to it: its whole part (2.5 takes 2);
//   - a fraction between 0 and 1: 1;
//   - 0, below 0, or not a number: 0, no record at all. Whether that is an
//     error is the caller's: the list page refuses it, the bulk page walks
//     no slot.
// The result is always from 0 to max_page_size, so a loop over it is
// bounded. Reads the process limits; safe from any thread.
std::int64_t BoundedPageSize(double requested);

}  // namespace tabrix
