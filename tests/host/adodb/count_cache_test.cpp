// The counts of static cursors kept per pooled connection: served again
// only while the data is the same, dropped by any write (this connection's,
// another pooled one's, another process's), never kept from inside a
// transaction that has written, and bounded. Run on every engine of the
// tests (TABRIX_TEST_ENGINE).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "host/adodb/connection.h"
#include "host/adodb/count_cache.h"
#include "host/variant_ops.h"
#include "recordset_helpers.h"
#include "support/fault_seam.h"
#include "support/test_database.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::FaultSeam;
using tabrix::testing::TestDatabase;
using testing::OpenKeyset;
using testing::OpenStatic;

constexpr const char* kNumbers = R"sql(
  CREATE TABLE Nums(Id INTEGER PRIMARY KEY, N INTEGER);
  WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 300)
    INSERT INTO Nums(Id, N) SELECT x, x * 10 FROM c;
)sql";

constexpr const char* kAll = "select * from Nums order by Id";

// What the counting did between two tallies.
struct Counted {
  std::uint64_t hits, misses, uncached;
};
Counted Since(const CountCacheTally& before) {
  CountCacheTally now = CountCacheTallySoFar();
  return {now.hits - before.hits, now.misses - before.misses, now.uncached - before.uncached};
}

// A static cursor's RecordCount, on `connection` (a Connection object or a
// connection string), and whether the cache answered it.
struct Count {
  std::int64_t rows;
  bool hit;
};
Count CountOn(const Variant& connection, const std::string& sql = kAll) {
  CountCacheTally before = CountCacheTallySoFar();
  auto rs = NewRecordset();
  rs->Open(Variant(sql), connection, Variant(kStatic), Variant(kReadOnly));
  std::int64_t rows = rs->RecordCount();
  rs->Close();
  return {rows, Since(before).hits == 1};
}

// On PostgreSQL any transaction of the cluster that takes an id (another
// test's, autovacuum's analyze) moves every snapshot: a miss is then right,
// so a hit is looked for over many tries (other test programs may write to
// the same cluster meanwhile). A SQLite file is the test's own.
int Tries() { return tabrix::testing::TestEngine() == "sqlite" ? 1 : 200; }

// Whether counting `sql` on `connection`, counted there before, is served
// from the cache within the tries; every count must be `rows`.
bool ServedFromCache(const Variant& connection, std::int64_t rows,
                     const std::string& sql = kAll) {
  for (int i = 0; i < Tries(); ++i) {
    Count count = CountOn(connection, sql);
    EXPECT_EQ(count.rows, rows);
    if (count.hit) return true;
  }
  return false;
}

class CountCaching : public ::testing::Test {
 protected:
  void SetUp() override { holder_->Open(Variant(db_.connection_string())); }

  TestDatabase db_{kNumbers};
  // Holds one pooled connection, so that counts on it find its cache.
  std::shared_ptr<Connection> holder_ = NewConnection();
  Variant on_holder_{holder_};
};

TEST_F(CountCaching, TheSameCountOnTheSameDataIsServedFromTheCache) {
  Count first = CountOn(on_holder_);
  EXPECT_EQ(first.rows, 300);
  EXPECT_FALSE(first.hit);
  EXPECT_TRUE(ServedFromCache(on_holder_, 300));
  // Another query is a count of its own.
  EXPECT_EQ(CountOn(on_holder_, "select * from Nums where N > 1000 order by Id").rows, 200);
  EXPECT_TRUE(ServedFromCache(on_holder_, 300));
  // Recordsets opened with the connection string borrow the pooled
  // connection back, and its counts with it.
  holder_->Close();
  CountOn(Variant(db_.connection_string()));
  EXPECT_TRUE(ServedFromCache(Variant(db_.connection_string()), 300));
}

TEST_F(CountCaching, ACachedCountRunsNoStatementAndLeavesThePageRunning) {
  FaultSeam seam;
  holder_ = NewConnection();
  holder_->Open(Variant(db_.connection_string()));
  on_holder_ = Variant(holder_);
  // Reads the first two rows of the query, counting first or not; returns
  // the engine calls made and whether the count was a hit.
  auto page = [&](bool count) {
    seam.plan().FailAt(0);
    CountCacheTally before = CountCacheTallySoFar();
    auto rs = NewRecordset();
    rs->Open(Variant(kAll), on_holder_, Variant(kStatic), Variant(kReadOnly));
    if (count) {
      EXPECT_EQ(rs->RecordCount(), 300);
    }
    EXPECT_EQ(ToLong(rs->Value(Variant("Id"))), 1);
    rs->MoveNext();
    EXPECT_EQ(ToLong(rs->Value(Variant("Id"))), 2);
    rs->Close();
    return std::make_pair(seam.plan().calls(), Since(before).hits == 1);
  };
  page(true);  // counts and keeps the count
  bool hit = false;
  for (int i = 0; i < Tries() && !hit; ++i) {
    std::int64_t without = page(false).first;
    auto [with, was_hit] = page(true);
    hit = was_hit;
    // Reading the token is the one call a hit adds: no count query, and the
    // page's query is not run again from its first row.
    if (hit) {
      EXPECT_EQ(with, without + 1);
    }
  }
  EXPECT_TRUE(hit);
}

TEST_F(CountCaching, AnyWriteDropsTheCount) {
  struct Case {
    const char* name;
    std::function<void()> write;
    std::int64_t rows;  // after the write
  };
  std::string connection_string = db_.connection_string();
  auto add_row = [](Recordset& rs) {
    rs.AddNew();
    rs.SetValue(Variant("N"), Variant(1L));
    rs.Update();
  };
  Case cases[] = {
      {"a keyset cursor's AddNew on the connection",
       [&] {
         auto rs = NewRecordset();
         rs->Open(Variant("select * from Nums"), on_holder_, Variant(kKeyset),
                  Variant(kOptimistic));
         add_row(*rs);
       },
       301},
      {"Execute on the connection",
       [&] { holder_->Execute(Variant("DELETE FROM Nums WHERE Id <= 2")); }, 299},
      {"a keyset cursor's AddNew on another pooled connection",
       [&] { add_row(*OpenKeyset("select * from Nums", connection_string)); }, 300},
      {"another process's insert", [&] { db_.Run("INSERT INTO Nums(Id, N) VALUES (1000, 1)"); },
       301},
  };
  std::int64_t rows = 300;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CountOn(on_holder_);
    EXPECT_TRUE(ServedFromCache(on_holder_, rows));
    c.write();
    Count after = CountOn(on_holder_);
    EXPECT_EQ(after.rows, c.rows);
    EXPECT_FALSE(after.hit);
    rows = c.rows;
  }
}

TEST_F(CountCaching, ACountFromAnOlderSnapshotIsNotServedToANewerOne) {
  // The cursor reads in the snapshot it opened with; the row committed
  // after that is not in its count, nor may its count stand for the data
  // that has the row.
  auto rs = NewRecordset();
  rs->Open(Variant(kAll), on_holder_, Variant(kStatic), Variant(kReadOnly));
  db_.Run("INSERT INTO Nums(Id, N) VALUES (1000, 1)");
  EXPECT_EQ(rs->RecordCount(), 300);
  rs->Close();
  EXPECT_EQ(CountOn(on_holder_).rows, 301);
  EXPECT_TRUE(ServedFromCache(on_holder_, 301));
}

TEST_F(CountCaching, ATransactionThatHasWrittenNeitherReadsNorKeepsCounts) {
  CountOn(on_holder_);
  EXPECT_TRUE(ServedFromCache(on_holder_, 300));
  holder_->BeginTrans();
  holder_->Execute(Variant("INSERT INTO Nums VALUES (1000, 1)"));
  CountCacheTally before = CountCacheTallySoFar();
  EXPECT_EQ(CountOn(on_holder_).rows, 301);
  EXPECT_EQ(CountOn(on_holder_).rows, 301);
  Counted inside = Since(before);
  EXPECT_EQ(inside.hits, 0u);
  EXPECT_EQ(inside.misses, 0u);
  // Another connection does not see the uncommitted row.
  EXPECT_EQ(CountOn(Variant(db_.connection_string())).rows, 300);
  holder_->RollbackTrans();
  EXPECT_EQ(CountOn(on_holder_).rows, 300);
  EXPECT_TRUE(ServedFromCache(on_holder_, 300));
}

TEST_F(CountCaching, EachConnectionKeepsABoundedNumberOfCounts) {
  auto query = [](std::size_t k) { return "select * from Nums where Id > " + std::to_string(k); };
  bool all_kept = false;
  for (int i = 0; i < Tries() && !all_kept; ++i) {
    for (std::size_t k = 0; k <= adodb::CountCache::kDefaultCapacity; ++k) CountOn(on_holder_, query(k));
    // The first query was the least recently used of one more than the
    // cache holds; the last is held.
    Count first = CountOn(on_holder_, query(0));
    EXPECT_FALSE(first.hit);
    EXPECT_EQ(first.rows, 300);
    all_kept = ServedFromCache(on_holder_, 300 - 64, query(64));
  }
  EXPECT_TRUE(all_kept);
}

TEST_F(CountCaching, ACountThatReadsTheClockIsNeverKept) {
  const std::string sql = "select * from Nums where CURRENT_TIMESTAMP is not null";
  CountCacheTally before = CountCacheTallySoFar();
  EXPECT_EQ(CountOn(on_holder_, sql).rows, 300);
  EXPECT_EQ(CountOn(on_holder_, sql).rows, 300);
  Counted counted = Since(before);
  EXPECT_EQ(counted.hits, 0u);
  EXPECT_EQ(counted.uncached, 2u);
}

}  // namespace

// The cache itself, without a database.
TEST(CountCacheEntries, TheLeastRecentlyUsedGoesAndANewTokenDropsAll) {
  CountCache cache(2);
  cache.Store("a", "t1", 1);
  cache.Store("b", "t1", 2);
  EXPECT_EQ(cache.Find("a", "t1"), 1);  // a is now the more recently used
  cache.Store("c", "t1", 3);
  EXPECT_EQ(cache.Find("b", "t1"), std::nullopt);
  EXPECT_EQ(cache.Find("a", "t1"), 1);
  EXPECT_EQ(cache.Find("c", "t1"), 3);
  EXPECT_EQ(cache.Find("a", "t2"), std::nullopt);
  cache.Store("a", "t2", 5);
  EXPECT_EQ(cache.size(), 1u);
  EXPECT_EQ(cache.Find("c", "t2"), std::nullopt);
  EXPECT_EQ(cache.Find("a", "t2"), 5);
  cache.Clear();
  EXPECT_EQ(cache.Find("a", "t2"), std::nullopt);
}

TEST(CountCacheEntries, CountsThatMayChangeWithoutAWriteAreTold) {
  struct {
    const char* sql;
    bool varies;
  } cases[] = {
      {"select * from t where d > now()", true},
      {"select * from t where d > date('now', '-1 day')", true},
      {"select * from t where d > CURRENT_DATE", true},
      {"select * from t where RANDOM () < 0", true},
      {"select * from t where id < nextval('s')", true},
      {"select date, time, changes, random from t", false},
      {"select * from t where nowhere = 1 and knowledge > 2", false},
  };
  for (const auto& c : cases) EXPECT_EQ(CountMayVaryWithoutWrites(c.sql), c.varies) << c.sql;
}

}  // namespace tabrix::adodb
