// Transactions on a Connection: recordsets opened on it run inside its
// transaction, through ActiveConnection too; nested transactions are
// savepoints; a failed write inside one undoes that write alone. Run on
// every engine of the tests (TABRIX_TEST_ENGINE).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/adodb/connection.h"
#include "host/adodb/connection_pool.h"
#include "recordset_helpers.h"
#include "support/fault_seam.h"
#include "support/test_database.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::FaultSeam;
using tabrix::testing::TestDatabase;
using testing::OpenKeyset;
using testing::OpenStatic;
using testing::Raised;

constexpr const char* kItems = R"sql(
  CREATE TABLE Items(Id INTEGER PRIMARY KEY, Code TEXT NOT NULL UNIQUE);
  INSERT INTO Items VALUES (1, 'a'), (2, 'b');
)sql";

// The codes of Items in key order, read on a connection of their own.
std::string Codes(const std::string& connection_string) {
  auto rs = OpenStatic("select Code from Items order by Id", connection_string);
  std::string codes;
  for (; !rs->Eof(); rs->MoveNext()) codes += rs->Value(Variant("Code")).string();
  return codes;
}

void AddItem(Recordset& rs, const char* code) {
  rs.AddNew();
  rs.SetValue(Variant("Code"), Variant(code));
  rs.Update();
}

std::shared_ptr<Recordset> KeysetOn(const std::shared_ptr<Connection>& connection) {
  auto rs = NewRecordset();
  rs->Open(Variant("select * from Items"), Variant(connection), Variant(kKeyset),
           Variant(kOptimistic));
  return rs;
}

TEST(Transactions, ARecordsetOnAConnectionWritesInsideItsTransaction) {
  TestDatabase db(kItems);
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  EXPECT_EQ(connection->BeginTrans(), 1);
  auto rs = KeysetOn(connection);
  AddItem(*rs, "c");
  // The same connection sees the row; another one does not, yet.
  auto mine = NewRecordset();
  mine->Open(Variant("select count(*) as n from Items"), Variant(connection), Variant(kStatic),
             Variant(kReadOnly));
  EXPECT_TRUE(mine->Value(Variant("n")).Identical(Variant(3)));
  EXPECT_EQ(Codes(db.connection_string()), "ab");
  connection->RollbackTrans();
  EXPECT_EQ(Codes(db.connection_string()), "ab");

  connection->BeginTrans();
  AddItem(*rs, "d");
  connection->CommitTrans();
  EXPECT_EQ(Codes(db.connection_string()), "abd");
}

TEST(Transactions, NestedTransactionsAreSavepoints) {
  TestDatabase db(kItems);
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  auto rs = KeysetOn(connection);
  EXPECT_EQ(connection->BeginTrans(), 1);
  AddItem(*rs, "c");
  EXPECT_EQ(connection->BeginTrans(), 2);
  AddItem(*rs, "d");
  connection->RollbackTrans();  // undoes d alone
  connection->CommitTrans();
  EXPECT_EQ(Codes(db.connection_string()), "abc");
  EXPECT_EQ(Raised([&] { connection->CommitTrans(); }).number(), kErrIllegalOperation);
  EXPECT_EQ(Raised([&] { connection->RollbackTrans(); }).number(), kErrIllegalOperation);
}

TEST(Transactions, AFailedWriteInsideOneUndoesThatWriteAlone) {
  TestDatabase db(kItems);
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  auto rs = KeysetOn(connection);
  connection->BeginTrans();
  AddItem(*rs, "c");
  ScriptError error = Raised([&] { AddItem(*rs, "a"); });  // a duplicate code
  EXPECT_EQ(error.number(), kErrProvider);
  EXPECT_EQ(error.native().failure, DbFailure::kConstraint);
  if (tabrix::testing::TestEngine() == "postgres") {
    EXPECT_EQ(error.native().engine, "PostgreSQL");
    EXPECT_EQ(error.native().code, "23505");  // unique_violation
  } else {
    EXPECT_EQ(error.native().engine, "SQLite");
    EXPECT_EQ(error.native().code, "2067");  // SQLITE_CONSTRAINT_UNIQUE
  }
  rs->CancelUpdate();
  AddItem(*rs, "d");
  connection->CommitTrans();
  EXPECT_EQ(Codes(db.connection_string()), "abcd");
}

TEST(Transactions, ClosingTheConnectionRollsBackAndClosesItsRecordsets) {
  TestDatabase db(kItems);
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  auto rs = KeysetOn(connection);
  connection->BeginTrans();
  AddItem(*rs, "c");
  connection->Close();
  EXPECT_EQ(Codes(db.connection_string()), "ab");
  EXPECT_EQ(Raised([&] { AddItem(*rs, "d"); }).number(), kErrObjectClosed);
}

TEST(Transactions, RollingBackAfterAFailedThirdWriteLeavesTheTableAsBefore) {
  struct Case {
    const char* name;
    // The connection the writes run on, and the recordset that writes.
    std::function<std::pair<std::shared_ptr<Connection>, std::shared_ptr<Recordset>>(
        const std::string&)>
        open;
  };
  const Case cases[] = {
      {"a recordset on a Connection object",
       [](const std::string& text) {
         auto connection = NewConnection();
         connection->Open(Variant(text));
         return std::make_pair(connection, KeysetOn(connection));
       }},
      {"ActiveConnection of a recordset opened with a connection string",
       [](const std::string& text) {
         auto rs = OpenKeyset("select * from Items", text);
         return std::make_pair(rs->ActiveConnection(), rs);
       }},
  };
  for (const Case& c : cases) {
    TestDatabase db(kItems);
    FaultSeam seam;
    auto [connection, rs] = c.open(db.connection_string());
    connection->BeginTrans();
    AddItem(*rs, "c");
    AddItem(*rs, "d");
    seam.plan().FailAt(1);  // the next database call: the third write's first
    ScriptError error = Raised([&] { AddItem(*rs, "e"); });
    EXPECT_EQ(error.number(), kErrProvider) << c.name;
    EXPECT_EQ(error.native().failure, DbFailure::kInjected) << c.name;
    EXPECT_TRUE(seam.plan().failed()) << c.name;
    connection->RollbackTrans();
    EXPECT_EQ(Codes(db.connection_string()), "ab") << c.name;
  }
}

TEST(FaultInjection, EveryFailedCallOfAWriteSequenceLeavesNothingPartial) {
  TestDatabase db(kItems);
  FaultSeam seam;
  // Adds a row, changes one and deletes one, in one transaction; rolls back
  // on the first error and returns it.
  auto sequence = [&]() -> ScriptError {
    auto connection = NewConnection();
    try {
      connection->Open(Variant(db.connection_string()));
      connection->BeginTrans();
      auto rs = KeysetOn(connection);
      AddItem(*rs, "c");
      rs->MoveFirst();
      rs->SetValue(Variant("Code"), Variant("A"));
      rs->Update();
      rs->MoveNext();
      rs->Delete();
      connection->CommitTrans();
      return ScriptError(0, "");
    } catch (const ScriptError& error) {
      if (connection->State() == 1 && connection->Link()->level() > 0) connection->RollbackTrans();
      return error;
    }
  };
  seam.plan().FailAt(0);
  ASSERT_EQ(sequence().number(), 0);
  const std::int64_t calls = seam.plan().calls();
  ASSERT_GT(calls, 10);
  db.Run("DELETE FROM Items; INSERT INTO Items VALUES (1, 'a'), (2, 'b');");
  // A pooled connection spares the later runs their connect, so the last
  // runs may make no call N: the sequence then completes.
  std::int64_t failed_runs = 0;
  for (std::int64_t n = 1; n <= calls; ++n) {
    seam.plan().FailAt(n);
    ScriptError error = sequence();
    if (!seam.plan().failed()) {
      seam.plan().FailAt(0);
      EXPECT_EQ(error.number(), 0) << "call " << n;
      EXPECT_EQ(Codes(db.connection_string()), "Ac") << "call " << n;
      break;
    }
    ++failed_runs;
    EXPECT_EQ(error.number(), kErrProvider) << "call " << n;
    EXPECT_EQ(error.native().engine,
              tabrix::testing::TestEngine() == "postgres" ? "PostgreSQL" : "SQLite")
        << "call " << n;
    EXPECT_EQ(error.native().code, "injected") << "call " << n;
    seam.plan().FailAt(0);
    std::string codes = Codes(db.connection_string());
    // A failure at the very commit may leave the transaction committed;
    // anything else leaves the table as it was.
    EXPECT_TRUE(codes == "ab" || codes == "Ac") << "call " << n << ": " << codes;
    if (codes != "ab") db.Run("DELETE FROM Items; INSERT INTO Items VALUES (1, 'a'), (2, 'b');");
  }
  EXPECT_GE(failed_runs, calls - 1);
}

}  // namespace
}  // namespace tabrix::adodb
