#include "host/adodb/sqlite/sqlite_memory.h"

#include <mutex>
#include <string>

namespace tabrix::adodb::sqlite {

namespace {

std::mutex settings_mutex;
SqliteMemory settings;
bool limit_set = false;  // whether the soft heap limit follows `settings`

void SetLimitLocked() {
  sqlite3_soft_heap_limit64(settings.page_cache);
  limit_set = true;
}

}  // namespace

void SetSqliteMemory(const SqliteMemory& memory) {
  std::lock_guard lock(settings_mutex);
  settings = memory;
  SetLimitLocked();
}

SqliteMemory CurrentSqliteMemory() {
  std::lock_guard lock(settings_mutex);
  return settings;
}

int ApplySqliteMemory(sqlite3* db) {
  SqliteMemory memory;
  {
    std::lock_guard lock(settings_mutex);
    if (!limit_set) SetLimitLocked();
    memory = settings;
  }
  // A negative cache_size counts KiB.
  std::string sql = "PRAGMA cache_size = " + std::to_string(-(memory.page_cache / 1024)) +
                    "; PRAGMA mmap_size = " + std::to_string(memory.mmap_size);
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

}  // namespace tabrix::adodb::sqlite
