// PostgreSQL cursors: the static cursor reads a row at a time through a
// server-side cursor (moves forward, back and far, one snapshot, a count
// that skips the select list), and the keyset cursor writes with bound
// parameters, finding a new row by the key RETURNING gives and a keyless
// row by its values.
#include <gtest/gtest.h>

#include <string>

#include "host/adodb/connection.h"
#include "host/adodb/recordset_helpers.h"
#include "host/variant_ops.h"
#include "support/postgres_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::PostgresFixture;
using testing::OpenKeyset;
using testing::OpenStatic;
using testing::Raised;

constexpr const char* kNumbers = R"sql(
  CREATE TABLE Nums(Id INTEGER PRIMARY KEY, N INTEGER, Label TEXT, Flag BOOLEAN,
                    At TIMESTAMP);
  INSERT INTO Nums SELECT x, x * 10, 'row ' || x, x % 2 = 0,
                          TIMESTAMP '2008-06-01' + x * INTERVAL '1 hour'
                   FROM generate_series(1, 300) x;
  CREATE TABLE Loose(Name TEXT, Qty INTEGER);
  INSERT INTO Loose VALUES ('x', 1), ('x', 1), ('y', 2);
)sql";

std::string Ids(Recordset& rs, int rows) {
  std::string ids;
  for (int k = 0; k < rows && !rs.Eof(); ++k, rs.MoveNext())
    ids += (ids.empty() ? "" : " ") + std::to_string(ToLong(rs.Value(Variant("Id"))));
  return ids;
}

TEST(PostgresCursor, MovesForwardBackAndFar) {
  PostgresFixture db(kNumbers);
  auto rs = OpenStatic("select * from Nums order by Id", db.connection_string());
  rs->Move(97);
  EXPECT_EQ(Ids(*rs, 6), "98 99 100 101 102 103");
  rs->Move(-10);  // from 104
  EXPECT_EQ(Ids(*rs, 2), "94 95");
  rs->Move(150);  // from 96
  EXPECT_EQ(Ids(*rs, 50).substr(0, 12), "246 247 248 ");
  rs->MoveLast();
  EXPECT_EQ(ToLong(rs->Value(Variant("Id"))), 300);
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(rs->RecordCount(), 300);
  rs->MoveFirst();
  EXPECT_EQ(Ids(*rs, 1), "1");
}

TEST(PostgresCursor, CountAndRowsComeFromOneSnapshot) {
  PostgresFixture db(kNumbers);
  auto rs = OpenStatic("select * from Nums where N > 0 order by Id", db.connection_string());
  db.Run("INSERT INTO Nums(Id, N) VALUES (301, 5); DELETE FROM Nums WHERE Id = 1;");
  EXPECT_EQ(rs->RecordCount(), 300);
  rs->Move(299);
  EXPECT_EQ(Ids(*rs, 1), "300");
  rs->Close();
  EXPECT_EQ(OpenStatic("select * from Nums where N > 0", db.connection_string())->RecordCount(),
            300);
}

TEST(PostgresCursor, CountSkipsTheSelectListAndCountsWhatCannotSkipIt) {
  PostgresFixture db(kNumbers);
  // The select list fails at Id 250: neither the count nor the rows before
  // it compute it; reading that row does.
  auto boom = OpenStatic("select Id, 1 / (Id - 250) as Boom from Nums order by Id",
                         db.connection_string());
  EXPECT_EQ(boom->RecordCount(), 300);
  boom->Move(248);
  EXPECT_EQ(ToLong(boom->Value(Variant("Id"))), 249);
  ScriptError error = Raised([&] { boom->MoveNext(); });
  EXPECT_EQ(error.native().code, "22012") << error.description();
  struct {
    const char* sql;
    std::int64_t count;
  } cases[] = {
      {"select Id % 3 as k, count(*) as c from Nums group by Id % 3", 3},
      {"select distinct Id % 7 from Nums", 7},
      {"select top 20 * from [Nums] order by Id desc", 20},
      {"select * from Nums where Flag = 1", 150},
      {"select * from Nums where Flag <> 0 and At >= '2008-6-5' and At < '2008-6-5 12:00'", 6},
      {"select * from Nums where Label like 'ROW 1_'", 10},
  };
  for (const auto& c : cases)
    EXPECT_EQ(OpenStatic(c.sql, db.connection_string())->RecordCount(), c.count) << c.sql;
}

TEST(PostgresCursor, AFailingQueryInsideATransactionLeavesItUsable) {
  PostgresFixture db(kNumbers);
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  connection->BeginTrans();
  connection->Execute(Variant("delete from Nums where Id = 1"));
  auto rs = NewRecordset();
  EXPECT_EQ(Raised([&] {
              rs->Open(Variant("select * from NoSuch"), Variant(connection), Variant(kStatic),
                       Variant(kReadOnly));
            }).number(),
            kErrProvider);
  connection->CommitTrans();
  EXPECT_EQ(OpenStatic("select * from Nums", db.connection_string())->RecordCount(), 299);
}

TEST(PostgresCursor, AddNewReportsTheKeyAndKeylessRowsChangeOneAtATime) {
  PostgresFixture db(kNumbers);
  auto rs = OpenKeyset("select * from Nums where Id = 1", db.connection_string());
  rs->AddNew();
  rs->SetValue(Variant("Label"), Variant("new"));
  rs->Update();
  EXPECT_TRUE(rs->Value(Variant("Id")).Identical(Variant(301)));
  rs->Close();

  auto loose = OpenKeyset("select * from Loose where Name = 'x'", db.connection_string());
  loose->SetValue(Variant("Qty"), Variant(5));
  loose->Update();
  EXPECT_TRUE(loose->Value(Variant("Qty")).Identical(Variant(5)));
  loose->MoveNext();
  loose->Delete();
  loose->Close();
  auto rows = OpenStatic("select Name, Qty from Loose order by Name, Qty", db.connection_string());
  std::string text;
  for (; !rows->Eof(); rows->MoveNext())
    text += ConcatText(rows->Value(Variant(0))) + ConcatText(rows->Value(Variant(1))) + " ";
  EXPECT_EQ(text, "x5 y2 ");
}

}  // namespace
}  // namespace tabrix::adodb
