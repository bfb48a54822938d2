// CountCache: the row counts one pooled connection has made, kept so that a
// list page shown again does not count its result again.
//
// A count is found again only under the same SQL text and the same data
// token, which the connection's backend (ConnectionBackend::DataToken)
// changes whenever the rows it could count may have changed. A token only
// ever moves on, so entries made under an older one are dead: the cache
// holds the entries of one token at a time and drops them all when it
// moves. It holds at most `capacity` counts, putting down the one least
// recently used. A cache belongs to one connection, used by one thread at a
// time; the process-wide tally (CountCacheTally) is atomic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tabrix::adodb {

class CountCache {
 public:
  static constexpr std::size_t kDefaultCapacity = 64;
  explicit CountCache(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

  // The count of `sql` made under `token`, if it is held.
  std::optional<std::int64_t> Find(const std::string& sql, const std::string& token);
  void Store(const std::string& sql, const std::string& token, std::int64_t count);
  // Drops every count (the connection has written).
  void Clear();
  std::size_t size() const { return by_sql_.size(); }

 private:
  struct Entry {
    std::string sql;
    std::int64_t count;
  };
  std::size_t capacity_;
  std::string token_;              // the token every held count was made under
  std::list<Entry> entries_;       // most recently used first
  std::unordered_map<std::string_view, std::list<Entry>::iterator> by_sql_;
};

// What the counting of static cursors has done in this process, for tests
// and measurement: counts served from a cache, counts made and kept, and
// counts made where no token could be had (nothing kept).
struct CountCacheTally {
  std::uint64_t hits = 0;
  std::uint64_t misses = 0;
  std::uint64_t uncached = 0;
};
CountCacheTally CountCacheTallySoFar();
void NoteCountCacheHit();
void NoteCountCacheMiss();
void NoteCountUncached();

// Whether the count of `sql` may change while the data stays as it is: the
// text reads the clock, a random number or a sequence. Such a count is
// never cached. (A view or function that does so out of sight of the text
// is not seen here.)
bool CountMayVaryWithoutWrites(std::string_view sql);

}  // namespace tabrix::adodb
