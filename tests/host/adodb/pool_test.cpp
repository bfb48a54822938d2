// Connection pooling: opens reuse a connection instead of reconnecting,
// connections given back mid-transaction are clean again, and the pool
// serves several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "host/adodb/connection_pool.h"
#include "host/adodb/row_source.h"
#include "host/variant_ops.h"
#include "recordset_helpers.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;
using testing::OpenKeyset;
using testing::OpenStatic;

TEST(Pool, SuccessiveOpensShareOneConnection) {
  SqliteFixture db("CREATE TABLE T(x INTEGER); INSERT INTO T VALUES (1);");
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  connection->Execute(Variant("CREATE TEMP TABLE Scratch(x); INSERT INTO Scratch VALUES (42);"));
  connection->Close();

  std::int64_t opened = ConnectionPool::Current().connections_opened();
  for (int i = 0; i < 20; ++i) {
    // A TEMP table lives in one connection only: seeing it proves the reuse.
    auto rs = OpenStatic("select x from temp.Scratch", db.connection_string());
    ASSERT_TRUE(rs->Value(Variant("x")).Identical(Variant(42)));
    rs->Close();
  }
  EXPECT_EQ(ConnectionPool::Current().connections_opened(), opened);
}

TEST(Pool, RecordsetOpensOnAConnectionObject) {
  SqliteFixture db("CREATE TABLE T(x INTEGER); INSERT INTO T VALUES (7);");
  std::shared_ptr<Connection> connection = NewConnection();
  auto rs = NewRecordset();
  EXPECT_EQ(testing::Raised([&] {
              rs->Open(Variant("select x from T"), Variant(connection), Variant(3), Variant(1));
            }).number(),
            kErrNoConnection);  // not open yet
  connection->Open(Variant(db.connection_string()));
  rs->Open(Variant("select x from T"), Variant(connection), Variant(3), Variant(1));
  EXPECT_TRUE(rs->Value(Variant("x")).Identical(Variant(7)));
}

TEST(Pool, RecordsetsOpenAtOnceUseTheirOwnConnections) {
  SqliteFixture db("CREATE TABLE T(x INTEGER); INSERT INTO T VALUES (1), (2);");
  auto first = OpenStatic("select x from T order by x", db.connection_string());
  auto second = OpenStatic("select x from T order by x desc", db.connection_string());
  auto writer = OpenKeyset("select * from T where x = 1", db.connection_string());
  writer->SetValue(Variant("x"), Variant(10));
  writer->Update();
  EXPECT_TRUE(first->Value(Variant("x")).Identical(Variant(1)));  // its snapshot
  EXPECT_TRUE(second->Value(Variant("x")).Identical(Variant(2)));
  first->MoveNext();
  EXPECT_TRUE(first->Value(Variant("x")).Identical(Variant(2)));
}

TEST(Pool, ReleasedRecordsetGivesBackACleanConnection) {
  SqliteFixture db("CREATE TABLE T(x INTEGER); INSERT INTO T VALUES (1);");
  // Dropped without Close, holding its read transaction.
  OpenStatic("select x from T", db.connection_string()).reset();
  auto writer = OpenKeyset("select * from T", db.connection_string());
  writer->AddNew();
  writer->SetValue(Variant("x"), Variant(2));
  writer->Update();
  writer->Close();
  EXPECT_EQ(OpenStatic("select x from T", db.connection_string())->RecordCount(), 2);
}

TEST(Pool, ServesSeveralThreads) {
  SqliteFixture db(R"sql(
    CREATE TABLE T(Id INTEGER PRIMARY KEY, Thread INTEGER);
    WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 100)
      INSERT INTO T(Thread) SELECT 0 FROM c;
  )sql");
  constexpr int kThreads = 4, kRounds = 25;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 1; t <= kThreads; ++t) {
    threads.emplace_back([&, t] {
      try {
        for (int round = 0; round < kRounds; ++round) {
          auto reader = OpenStatic("select * from T where Thread = 0", db.connection_string());
          if (reader->RecordCount() != 100) ++failures;
          reader->MoveLast();
          auto writer = OpenKeyset("select top 1 * from T", db.connection_string());
          writer->AddNew();
          writer->SetValue(Variant("Thread"), Variant(t));
          writer->Update();
        }
      } catch (const ScriptError&) {
        ++failures;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(OpenStatic("select * from T where Thread > 0", db.connection_string())->RecordCount(),
            kThreads * kRounds);
}

TEST(Pool, NeverHoldsMoreThanItsLimitUnderEightThreads) {
  SqliteFixture db("CREATE TABLE T(Id INTEGER PRIMARY KEY, Thread INTEGER);");
  ConnectionPool pool(ProviderRegistry::BuiltIn(), {3, std::chrono::seconds(30)});
  ScopedPool scope(pool);
  constexpr int kThreads = 8, kRounds = 15;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 1; t <= kThreads; ++t) {
    threads.emplace_back([&, t] {
      try {
        for (int round = 0; round < kRounds; ++round) {
          auto writer = OpenKeyset("select * from T where Id = 0", db.connection_string());
          writer->AddNew();
          writer->SetValue(Variant("Thread"), Variant(t));
          writer->Update();
          writer->Close();
          auto reader = OpenStatic("select * from T", db.connection_string());
          if (reader->RecordCount() < 1) ++failures;
        }
      } catch (const ScriptError&) {
        ++failures;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_LE(pool.peak_open(db.connection_string()), 3u);
  EXPECT_EQ(OpenStatic("select * from T", db.connection_string())->RecordCount(),
            kThreads * kRounds);
  pool.CloseIdle(db.connection_string());
}

TEST(Pool, AWaiterPastTheTimeoutGetsAClearError) {
  SqliteFixture db("CREATE TABLE T(x INTEGER); INSERT INTO T VALUES (1);");
  ConnectionPool pool(ProviderRegistry::BuiltIn(), {1, std::chrono::milliseconds(50)});
  ScopedPool scope(pool);
  auto held = OpenStatic("select x from T", db.connection_string());
  ScriptError error = testing::Raised([&] { OpenStatic("select x from T", db.connection_string()); });
  EXPECT_EQ(error.number(), kErrProvider);
  EXPECT_EQ(error.native().failure, DbFailure::kBusy);
  EXPECT_NE(error.description().find("no database connection came free within 50 ms"),
            std::string::npos)
      << error.description();
  held->Close();
  EXPECT_EQ(OpenStatic("select x from T", db.connection_string())->RecordCount(), 1);
  pool.CloseIdle(db.connection_string());
}

TEST(Pool, AConnectionLeftUnhealthyIsClosedNotReused) {
  SqliteFixture db("CREATE TABLE T(x INTEGER); INSERT INTO T VALUES (1);");
  ConnectionPool pool;
  ScopedPool scope(pool);
  {
    PooledConnection connection = pool.Acquire(db.connection_string());
    // A statement left unfinished: the next borrower could not commit.
    auto statement = connection->Prepare("select x from T");
    statement->Step();
    connection.Release();
  }
  std::int64_t opened = pool.connections_opened();
  OpenStatic("select x from T", db.connection_string());
  EXPECT_EQ(pool.connections_opened(), opened + 1);
  pool.CloseIdle(db.connection_string());
}

// A connection that reaches no engine: only its liveness is asked about.
// `cheap_says` is what a look at the link finds, `round_trip_says` what a
// trip to the server finds; every answer is recorded.
struct LinkState {
  bool cheap_says = true;
  bool round_trip_says = true;
  std::vector<bool> asked;  // the round_trip argument of each Alive
};

class FakeLink : public ConnectionBackend {
 public:
  explicit FakeLink(std::shared_ptr<LinkState> state) : state_(std::move(state)) {}
  bool Alive(bool round_trip) override {
    state_->asked.push_back(round_trip);
    return state_->cheap_says && (!round_trip || state_->round_trip_says);
  }
  const sql::Dialect& dialect() const override {
    static const sql::Dialect kDialect;
    return kDialect;
  }
  std::unique_ptr<StatementBackend> Prepare(std::string_view) override { return nullptr; }
  std::int64_t Execute(std::string_view, const std::vector<Variant>&) override { return 0; }
  std::unique_ptr<RowSource> OpenStaticRows(std::shared_ptr<ConnectionLink>, std::string,
                                            std::int64_t) override {
    return nullptr;
  }
  void BeginRead() override {}
  void BeginWrite() override {}
  void Commit() override {}
  void Rollback() override {}
  bool InTransaction() const override { return false; }
  std::vector<TableEntry> ListTables() override { return {}; }
  TableInfo DescribeTable(const TableRef&) override { return {}; }
  RowCondition InsertRow(const TableInfo&, const std::vector<std::string>&,
                         const std::vector<Variant>&) override {
    return {};
  }
  RowCondition LocateRow(const TableInfo&, const std::vector<std::string>&,
                         const std::vector<Variant>&) override {
    return {};
  }

 private:
  std::shared_ptr<LinkState> state_;
};

class FakeProvider : public Provider {
 public:
  explicit FakeProvider(std::shared_ptr<LinkState> state) : state_(std::move(state)) {}
  std::string_view Name() const override { return "Fake"; }
  std::unique_ptr<ConnectionBackend> Connect(const ConnectionString&) const override {
    return std::make_unique<FakeLink>(state_);
  }

 private:
  std::shared_ptr<LinkState> state_;
};

TEST(Pool, AnIdleConnectionIsCheckedBeforeItIsLentAndADeadOneReplaced) {
  using std::chrono::hours;
  using std::chrono::milliseconds;
  struct {
    const char* id;
    milliseconds idle_check;  // 0: the connection has sat idle long enough
    bool cheap_says, round_trip_says;
    bool reused;
  } cases[] = {
      {"fresh-alive", hours(1), true, true, true},
      // A link that went silently is not worth a trip while it is fresh.
      {"fresh-silently-gone", hours(1), true, false, true},
      {"fresh-found-gone", hours(1), false, true, false},
      {"idle-alive", milliseconds(0), true, true, true},
      {"idle-silently-gone", milliseconds(0), true, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    auto state = std::make_shared<LinkState>();
    auto providers = std::make_shared<ProviderRegistry>();
    providers->Add(std::make_shared<FakeProvider>(state));
    PoolLimits limits;
    limits.per_string = 1;
    limits.idle_check = c.idle_check;
    ConnectionPool pool(providers, limits);
    pool.Acquire("Provider=Fake").Release();
    state->cheap_says = c.cheap_says;
    state->round_trip_says = c.round_trip_says;
    PooledConnection again = pool.Acquire("Provider=Fake");
    EXPECT_TRUE(again);
    EXPECT_EQ(pool.connections_opened(), c.reused ? 1 : 2);
    EXPECT_EQ(state->asked, std::vector<bool>{c.idle_check.count() == 0});
    // The dead one gave up its slot: the limit of one did not block.
    EXPECT_EQ(pool.peak_open("Provider=Fake"), 1u);
  }
}

}  // namespace
}  // namespace tabrix::adodb
