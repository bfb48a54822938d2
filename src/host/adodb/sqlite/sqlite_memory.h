// The memory SQLite reads through: one page cache budget for the whole
// process, and memory-mapped reads.
//
// Each connection may cache up to the whole budget (PRAGMA cache_size), so
// the connection a page lands on can hold a large table's index; the sum
// over all connections is held near the budget by SQLite's soft heap limit
// (sqlite3_soft_heap_limit64), under which a connection's cache recycles
// its own least recently used pages instead of growing. The limit counts
// all of SQLite's heap, so other allocations leave less room for pages; it
// is advisory, and SQLite exceeds it rather than fail. A sort that no index
// serves may buffer up to cache_size in memory before it spills to a
// temporary file.
//
// mmap_size maps up to that many bytes of each database file (PRAGMA
// mmap_size; SQLite caps it at the most it was built to map): pages are
// read from the operating system's page cache without a copy, shared by all
// connections, and count towards the process's resident memory only as
// file pages the kernel may drop. An I/O error on a mapped page (a failing
// disk, a file truncated by another program) then ends the process with
// SIGBUS instead of failing one statement.
#pragma once

#include <sqlite3.h>

#include <cstdint>

namespace tabrix::adodb::sqlite {

struct SqliteMemory {
  // Bytes of page cache for the whole process.
  std::int64_t page_cache = 64 * 1024 * 1024;
  // Bytes of each database file mapped into memory; 0: none.
  std::int64_t mmap_size = 0;
};

// Sets the budget and the mapping for connections opened from now on, and
// the process's soft heap limit. Until it is called the defaults above
// hold, applied when the first connection opens.
void SetSqliteMemory(const SqliteMemory& memory);
SqliteMemory CurrentSqliteMemory();

// Applies the settings to `db`, newly opened; returns SQLite's result code.
int ApplySqliteMemory(sqlite3* db);

}  // namespace tabrix::adodb::sqlite
