// Values between SQLite storage and Variants: dates as ISO text, Booleans
// as 1/0, Currency as real, decimals as Double, blobs as Binary.
#include <gtest/gtest.h>

#include <cmath>

#include "host/adodb/column_attributes.h"
#include "host/variant_ops.h"
#include "recordset_helpers.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;
using testing::OpenKeyset;
using testing::OpenStatic;

constexpr const char* kEvents = R"sql(
  CREATE TABLE Events(Id INTEGER PRIMARY KEY, Day DATE, At DATETIME, Note TEXT, Done BOOLEAN,
                      Cost MONEY, Amount DECIMAL(10,2), Data BLOB, Stamp TIMESTAMP);
  INSERT INTO Events VALUES
    (1, '2008-06-05', '2008-06-28 23:59:59', 'n', 1, 12.5, 3, x'00ff', '2008-06-28T10:11:12.5'),
    (2, 'soon', '2008-6-5', NULL, 0, 7, 2.25, NULL, '2008-02-30');
)sql";

DateValue Civil(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  return MakeDate(CivilTime{y, m, d, hh, mm, ss});
}

TEST(Values, ReadByTheColumnsType) {
  SqliteFixture db(kEvents);
  auto rs = OpenStatic("select * from Events order by Id", db.connection_string());
  EXPECT_TRUE(rs->Value(Variant("Day")).Identical(Variant(Civil(2008, 6, 5))));
  EXPECT_TRUE(rs->Value(Variant("At")).Identical(Variant(Civil(2008, 6, 28, 23, 59, 59))));
  EXPECT_TRUE(rs->Value(Variant("Note")).Identical(Variant("n")));
  EXPECT_TRUE(rs->Value(Variant("Done")).Identical(Variant(true)));
  EXPECT_TRUE(rs->Value(Variant("Cost")).Identical(Variant(CurrencyValue{125000})));
  EXPECT_TRUE(rs->Value(Variant("Amount")).Identical(Variant(3.0)));
  EXPECT_TRUE(rs->Value(Variant("Data")).Identical(Variant::Binary({0x00, 0xff})));
  Variant stamp = rs->Value(Variant("Stamp"));
  ASSERT_EQ(stamp.type(), VarType::Date);
  EXPECT_NEAR(stamp.date().serial, Civil(2008, 6, 28, 10, 11, 12).serial + 0.5 / 86400, 1e-9);

  rs->MoveNext();
  EXPECT_TRUE(rs->Value(Variant("Day")).Identical(Variant("soon")));  // not a date: text
  EXPECT_TRUE(rs->Value(Variant("At")).Identical(Variant(Civil(2008, 6, 5))));
  EXPECT_TRUE(rs->Value(Variant("Note")).IsNull());
  EXPECT_TRUE(rs->Value(Variant("Done")).Identical(Variant(false)));
  EXPECT_TRUE(rs->Value(Variant("Cost")).Identical(Variant(CurrencyValue{70000})));
  EXPECT_TRUE(rs->Value(Variant("Amount")).Identical(Variant(2.25)));
  EXPECT_TRUE(rs->Value(Variant("Data")).IsNull());
  EXPECT_TRUE(rs->Value(Variant("Stamp")).Identical(Variant("2008-02-30")));  // no such day
}

TEST(Values, WriteAndReadBack) {
  SqliteFixture db(kEvents);
  const DateValue day = Civil(2009, 1, 2);
  const DateValue at = Civil(2009, 1, 2, 3, 4, 5);
  {
    auto rs = OpenKeyset("select * from Events where 0", db.connection_string());
    rs->AddNew();
    rs->SetValue(Variant("Id"), Variant(3));
    rs->SetValue(Variant("Day"), Variant(day));
    rs->SetValue(Variant("At"), Variant(at));
    rs->SetValue(Variant("Note"), Variant());  // Empty is stored as NULL
    rs->SetValue(Variant("Done"), Variant(true));
    rs->SetValue(Variant("Cost"), Variant(CurrencyValue{123456}));
    rs->SetValue(Variant("Data"), Variant::Binary({1, 2, 3}));
    rs->Update();
    EXPECT_TRUE(rs->Value(Variant("Day")).Identical(Variant(day)));
    EXPECT_TRUE(rs->Value(Variant("At")).Identical(Variant(at)));
    EXPECT_TRUE(rs->Value(Variant("Done")).Identical(Variant(true)));
    EXPECT_TRUE(rs->Value(Variant("Cost")).Identical(Variant(CurrencyValue{123456})));
    rs->Close();
  }
  // What is stored, seen as plain text and storage classes.
  auto raw = OpenStatic(
      "select Day || '' as D, At || '' as A, Done + 0 as B, typeof(Cost) as C, "
      "Note is null as N, hex(Data) as H from Events where Id = 3",
      db.connection_string());
  EXPECT_TRUE(raw->Value(Variant("D")).Identical(Variant("2009-01-02")));
  EXPECT_TRUE(raw->Value(Variant("A")).Identical(Variant("2009-01-02 03:04:05")));
  EXPECT_TRUE(raw->Value(Variant("B")).Identical(Variant(1)));  // True is 1, not -1
  EXPECT_TRUE(raw->Value(Variant("C")).Identical(Variant("real")));
  EXPECT_TRUE(raw->Value(Variant("N")).Identical(Variant(1)));
  EXPECT_TRUE(raw->Value(Variant("H")).Identical(Variant("010203")));
}

TEST(Values, IsoDateTextShapes) {
  struct {
    const char* text;
    bool is_date;
  } cases[] = {
      {"2008-06-05", true},
      {"2008-06-05 10:11", true},
      {"2008-06-05 10:11:12", true},
      {"2008-06-05T10:11:12.250", true},
      {"2008-06-05 10:11:12Z", true},
      {"2008-06-05T10:11:12.000+02:00", true},
      {"2008-06-05T10:11-0530", true},
      {"2008-06-05 10:11:12+02", true},
      {"2008-06-05T10:11+2", false},
      {"2008-06-05T10:11+02:", false},
      {"2008-06-05T10:11+02:0", false},
      {"2008-06-05T10:11+24:00", false},
      {"2008-06-05+02:00", false},
      {"2008-06-05T10:11:12Z+02:00", false},
      {"2008-6-5", true},
      {"2008-02-30", false},
      {"2008-06-05 25:00", false},
      {"08-06-05", false},
      {"2008-06-05 10", false},
      {"2008-06-05x", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseIsoDate(c.text).has_value(), c.is_date) << c.text;
}

}  // namespace
}  // namespace tabrix::adodb
