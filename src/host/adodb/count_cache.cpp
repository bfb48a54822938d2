#include "host/adodb/count_cache.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>

namespace tabrix::adodb {

std::optional<std::int64_t> CountCache::Find(const std::string& sql, const std::string& token) {
  if (token != token_) return std::nullopt;
  auto found = by_sql_.find(sql);
  if (found == by_sql_.end()) return std::nullopt;
  entries_.splice(entries_.begin(), entries_, found->second);
  return found->second->count;
}

void CountCache::Store(const std::string& sql, const std::string& token, std::int64_t count) {
  if (capacity_ == 0) return;
  if (token != token_) {
    Clear();
    token_ = token;
  }
  auto found = by_sql_.find(sql);
  if (found != by_sql_.end()) {
    found->second->count = count;
    entries_.splice(entries_.begin(), entries_, found->second);
    return;
  }
  if (by_sql_.size() >= capacity_) {
    by_sql_.erase(entries_.back().sql);
    entries_.pop_back();
  }
  entries_.push_front({sql, count});
  by_sql_.emplace(entries_.front().sql, entries_.begin());
}

void CountCache::Clear() {
  by_sql_.clear();
  entries_.clear();
  token_.clear();
}

namespace {

std::atomic<std::uint64_t> hits{0};
std::atomic<std::uint64_t> misses{0};
std::atomic<std::uint64_t> uncached{0};

// Words that make a count depend on more than the rows: the clock (both
// engines' spellings, and SQLite's 'now'), random numbers, sequences and
// the connection's own change counters.
constexpr std::array<std::string_view, 28> kVaryingWords = {
    "now",           "current_timestamp", "current_date",    "current_time",
    "localtime",     "localtimestamp",    "clock_timestamp", "statement_timestamp",
    "timeofday",     "transaction_timestamp", "random",      "randomblob",
    "gen_random_uuid", "uuid_generate_v4", "nextval",        "currval",
    "lastval",       "setval",            "changes",         "total_changes",
    "last_insert_rowid", "unixepoch",     "julianday",       "strftime",
    "datetime",      "date",              "time",            "timediff",
};
// Of these, the ones that are also common column names count only as
// calls ("date(" but not "date").
constexpr std::array<std::string_view, 6> kOnlyAsCalls = {"date", "time", "changes",
                                                          "datetime", "random", "timediff"};

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

}  // namespace

CountCacheTally CountCacheTallySoFar() { return {hits.load(), misses.load(), uncached.load()}; }
void NoteCountCacheHit() { ++hits; }
void NoteCountCacheMiss() { ++misses; }
void NoteCountUncached() { ++uncached; }

bool CountMayVaryWithoutWrites(std::string_view sql) {
  std::string word;
  for (size_t i = 0; i < sql.size();) {
    if (!IsWordChar(sql[i])) {
      ++i;
      continue;
    }
    size_t start = i;
    while (i < sql.size() && IsWordChar(sql[i])) ++i;
    word.assign(sql.substr(start, i - start));
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (std::find(kVaryingWords.begin(), kVaryingWords.end(), word) == kVaryingWords.end())
      continue;
    if (std::find(kOnlyAsCalls.begin(), kOnlyAsCalls.end(), word) == kOnlyAsCalls.end())
      return true;
    size_t next = i;
    while (next < sql.size() && std::isspace(static_cast<unsigned char>(sql[next])) != 0) ++next;
    if (next < sql.size() && sql[next] == '(') return true;
  }
  return false;
}

}  // namespace tabrix::adodb
