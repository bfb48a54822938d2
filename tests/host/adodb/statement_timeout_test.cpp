// The statement timeout: a statement still running when its time is up is
// interrupted and raises a provider error marked as a timeout, whatever way
// it was started (a recordset's query, a write run through the connection),
// and the connection serves the next statement as before.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "host/adodb/connection.h"
#include "recordset_helpers.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;
using testing::OpenStatic;
using testing::Raised;

// Puts a statement timeout in force for one test.
class StatementTimeoutScope {
 public:
  explicit StatementTimeoutScope(std::chrono::milliseconds timeout) : before_(StatementTimeout()) {
    SetStatementTimeout(timeout);
  }
  ~StatementTimeoutScope() { SetStatementTimeout(before_); }

 private:
  std::chrono::milliseconds before_;
};

// Counts without end: the recursion never stops producing rows.
constexpr const char* kEndlessCount =
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT count(*) FROM c";

constexpr const char* kItems =
    "CREATE TABLE Items(Id INTEGER PRIMARY KEY, Code TEXT);"
    "INSERT INTO Items VALUES (1, 'a');";

void ExpectTimeout(const ScriptError& error, const char* what) {
  EXPECT_EQ(error.number(), kErrProvider) << what << ": " << error.description();
  EXPECT_EQ(error.native().failure, DbFailure::kTimeout) << what;
  EXPECT_EQ(error.native().engine, "SQLite") << what;
  EXPECT_NE(error.description().find("statement timeout"), std::string::npos)
      << error.description();
}

TEST(StatementTimeout, AnEndlessQueryIsInterruptedAndTheConnectionServesOn) {
  SqliteFixture db(kItems);
  StatementTimeoutScope timeout(std::chrono::milliseconds(200));
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));

  auto rs = NewRecordset();
  ExpectTimeout(Raised([&] {
                  rs->Open(Variant(kEndlessCount), Variant(connection), Variant(kStatic),
                           Variant(kReadOnly));
                }),
                "query");
  ExpectTimeout(Raised([&] {
                  connection->Execute(
                      Variant(std::string("UPDATE Items SET Code = (") + kEndlessCount + ")"));
                }),
                "write");

  // The same connection, and the pooled ones, answer the next statements.
  EXPECT_EQ(connection->Execute(Variant("UPDATE Items SET Code = 'b' WHERE Id = 1")), 1);
  auto after = NewRecordset();
  after->Open(Variant("select Code from Items"), Variant(connection), Variant(kStatic),
              Variant(kReadOnly));
  EXPECT_EQ(after->fields().Item(Variant(0))->Value().string(), "b");
  auto pooled = OpenStatic("select count(*) from Items", db.connection_string());
  EXPECT_EQ(pooled->fields().Item(Variant(0))->Value().long_value(), 1);
}

TEST(StatementTimeout, AnInterruptedWriteInATransactionLeavesNothing) {
  SqliteFixture db(kItems);
  StatementTimeoutScope timeout(std::chrono::milliseconds(200));
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  connection->BeginTrans();
  connection->Execute(Variant("INSERT INTO Items VALUES (2, 'new')"));
  ExpectTimeout(Raised([&] {
                  connection->Execute(Variant(
                      std::string("INSERT INTO Items SELECT 3, (") + kEndlessCount + ")"));
                }),
                "write in a transaction");
  // The engine rolled the transaction back on the interrupt; rolling back
  // what is left is no error.
  EXPECT_EQ(Raised([&] { connection->RollbackTrans(); }).number(), 0);
  EXPECT_EQ(connection->Execute(Variant("INSERT INTO Items VALUES (4, 'after')")), 1);
  connection->Close();

  auto rs = OpenStatic("select count(*) from Items", db.connection_string());
  EXPECT_EQ(rs->fields().Item(Variant(0))->Value().long_value(), 2) << "1 and 4, not 2";
}

}  // namespace
}  // namespace tabrix::adodb

namespace tabrix::adodb {
namespace {

// A cursor read in pieces with waits between them (an answer streamed to a
// slow client): its statement is timed from its first step, so a later
// step that has work to do past the timeout is interrupted, unless each
// piece is read inside a StatementPiece, which times it from the piece's
// start.
TEST(StatementTimeout, ACursorReadInPiecesIsTimedPerPiece) {
  SqliteFixture db(
      "CREATE TABLE Items(Id INTEGER PRIMARY KEY);"
      "INSERT INTO Items VALUES (1), (2), (3);");
  StatementTimeoutScope timeout(std::chrono::milliseconds(100));
  // Each row costs some thousands of steps of the engine (the sub-select
  // depends on the row, so it runs for each), so the deadline is looked at
  // while the row is made.
  const std::string sql =
      "select Id, (WITH RECURSIVE c(y) AS (SELECT 1 UNION ALL SELECT y + 1 FROM c LIMIT 5000) "
      "SELECT count(*) FROM c WHERE y >= Items.Id) AS Work from Items order by Id";
  auto read_with_pauses = [&](bool in_pieces) {
    auto rs = OpenStatic(sql, db.connection_string());
    for (int row = 1; row < 3; ++row) {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      std::optional<StatementPiece> piece;
      if (in_pieces) piece.emplace();
      rs->MoveNext();
    }
    return rs->fields().Item(Variant(0))->Value().long_value();
  };
  ExpectTimeout(Raised([&] { read_with_pauses(false); }), "a read timed from its first step");
  EXPECT_EQ(read_with_pauses(true), 3);
}

}  // namespace
}  // namespace tabrix::adodb
