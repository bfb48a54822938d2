// The SQLite page cache is one budget for the process: several connections
// that each read a table larger than the budget hold about the budget
// between them, not the budget each.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <vector>

#include "host/adodb/connection_string.h"
#include "host/adodb/sqlite/sqlite_memory.h"
#include "host/adodb/sqlite/sqlite_provider.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;

TEST(SqliteMemory, ConnectionsShareOneBudget) {
  constexpr std::int64_t kBudget = 4 * 1024 * 1024;
  // About 12 MB of rows, three times the budget.
  SqliteFixture file(
      "CREATE TABLE blobs(id INTEGER PRIMARY KEY, data BLOB);"
      "INSERT INTO blobs WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
      "WHERE i < 3000) SELECT i, randomblob(4000) FROM n;");
  sqlite::SqliteMemory before = sqlite::CurrentSqliteMemory();
  sqlite::SetSqliteMemory({kBudget, 0});

  std::vector<std::unique_ptr<ConnectionBackend>> connections;
  for (int i = 0; i < 4; ++i) {
    connections.push_back(
        sqlite::SqliteProvider().Connect(ConnectionString::Parse(file.connection_string())));
    auto scan = connections.back()->Prepare("SELECT sum(length(data)) FROM blobs");
    ASSERT_TRUE(scan->Step());
    EXPECT_EQ(scan->Value(0, 20).long_value(), 3000 * 4000);
  }
  // Four caches of the whole budget each would hold 16 MB.
  sqlite3_int64 used = 0;
  sqlite3_int64 highest = 0;
  sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &used, &highest, 0);
  EXPECT_LT(used, 2 * kBudget);

  connections.clear();
  sqlite::SetSqliteMemory(before);
}

}  // namespace
}  // namespace tabrix::adodb
