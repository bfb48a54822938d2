// The C library's allocator, set for a server that builds a page of tens
// of kilobytes per request and frees it when the answer is written.
#pragma once

namespace tabrix::site {

// Keeps freed memory at the top of each of glibc's arenas (up to a bound)
// instead of handing it back to the kernel after every answer: by default
// freeing a page's buffers leaves more than 128 KiB free at the top, which
// is returned (madvise) and faulted back in by the next request. Call
// before any thread starts. A setting given in GLIBC_TUNABLES is left as
// the operator set it.
void TuneMallocForServing();

}  // namespace tabrix::site
