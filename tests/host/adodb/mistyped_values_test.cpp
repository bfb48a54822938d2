// Stored values that are not of their column's type: SQLite keeps what it is
// given, so a date column may hold a number or any text and a money column
// words. Reading them never fails; each comes as it is stored, and ISO date
// text with an offset still reads as a date with its clock time as stored.
#include <gtest/gtest.h>

#include "host/variant_ops.h"
#include "recordset_helpers.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;
using testing::OpenKeyset;
using testing::OpenStatic;

TEST(MistypedValues, ComeAsStoredAndIsoTextWithAnOffsetIsADate) {
  // DATETIME, DATE and MONEY have numeric affinity: '20040305' becomes an
  // integer, '' and 'abc' stay text.
  SqliteFixture db(R"sql(
    CREATE TABLE Odd (Id INTEGER PRIMARY KEY, At DATETIME, Day DATE, Cost MONEY);
    INSERT INTO Odd VALUES
      (1, '', 'soon', 'abc'),
      (2, '20040305', 3.5, ''),
      (3, '2004-03-05T09:07:30.000+02:00', '2004-03-05T23:30-0530', 12.5),
      (4, '2004-03-05T09:07:30Z', '2004-03-05 10:00+02', 7);
  )sql");
  const DateValue at = MakeDate(CivilTime{2004, 3, 5, 9, 7, 30});
  struct Row {
    Variant at, day, cost;
  };
  const Row rows[] = {
      {Variant(""), Variant("soon"), Variant("abc")},
      {Variant(20040305), Variant(3.5), Variant("")},
      {Variant(at), Variant(MakeDate({2004, 3, 5, 23, 30, 0})),
       Variant(CurrencyValue{125000})},
      {Variant(at), Variant(MakeDate({2004, 3, 5, 10, 0, 0})), Variant(CurrencyValue{70000})},
  };
  // Both cursors read through the same columns.
  for (bool keyset : {false, true}) {
    auto rs = keyset ? OpenKeyset("select * from Odd order by Id", db.connection_string())
                     : OpenStatic("select * from Odd order by Id", db.connection_string());
    for (const Row& row : rows) {
      ASSERT_FALSE(rs->Eof());
      std::string id = ConcatText(rs->Value(Variant("Id")));
      EXPECT_TRUE(rs->Value(Variant("At")).Identical(row.at))
          << id << ": " << ConcatText(rs->Value(Variant("At")));
      EXPECT_TRUE(rs->Value(Variant("Day")).Identical(row.day))
          << id << ": " << ConcatText(rs->Value(Variant("Day")));
      EXPECT_TRUE(rs->Value(Variant("Cost")).Identical(row.cost))
          << id << ": " << ConcatText(rs->Value(Variant("Cost")));
      rs->MoveNext();
    }
    EXPECT_TRUE(rs->Eof());
  }
}

}  // namespace
}  // namespace tabrix::adodb
