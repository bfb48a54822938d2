// Values between SQLite storage and Variants: dates as ISO text, Booleans
// as 1/0, Currency as real, NUMERIC and DECIMAL as exact Decimals, blobs as
// Binary.
#include <gtest/gtest.h>

#include <cmath>

#include "host/adodb/column_attributes.h"
#include "host/decimal.h"
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

Variant Dec(const char* text) {
  return Variant(*ParseInvariantDecimal(text, DecimalFit::kExact));
}

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
  EXPECT_TRUE(rs->Value(Variant("Amount")).Identical(Dec("3")));
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
  EXPECT_TRUE(rs->Value(Variant("Amount")).Identical(Dec("2.25")));
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

// Big holds what SQLite keeps exactly (integers), Price reals, and Kept,
// a decimal column with text affinity, decimal text.
constexpr const char* kAmounts = R"sql(
  CREATE TABLE Amounts(Id INTEGER PRIMARY KEY, Big NUMERIC, Price DECIMAL(10,2),
                       Kept DECIMAL TEXT);
  INSERT INTO Amounts VALUES
    (1, 12345678901234567, 1.98, '12345678901234567.50'),
    (2, -9223372036854775808, 0.1, '1,5'),
    (3, 1e30, -2.5, NULL);
)sql";

TEST(Values, DecimalColumnsReadEveryDigitTheEngineKeeps) {
  SqliteFixture db(kAmounts);
  auto rs = OpenStatic("select * from Amounts order by Id", db.connection_string());
  struct Row {
    Variant big, price, kept;
  } rows[] = {
      {Dec("12345678901234567"), Dec("1.98"), Dec("12345678901234567.5")},
      {Dec("-9223372036854775808"), Dec("0.1"), Variant("1,5")},  // no decimal text
      {Variant(1e30), Dec("-2.5"), Variant::Null()},  // a real past a Decimal's range
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(ConcatText(rs->Value(Variant("Id"))));
    const std::pair<const char*, Variant> cells[] = {
        {"Big", row.big}, {"Price", row.price}, {"Kept", row.kept}};
    for (const auto& [name, expected] : cells) {
      Variant got = rs->Value(Variant(name));
      EXPECT_TRUE(got.Identical(expected)) << name << ": " << got.TypeName() << " "
                                           << ConcatText(got);
    }
    rs->MoveNext();
  }
}

TEST(Values, DecimalsWriteBackWhatTheyRead) {
  SqliteFixture db(kAmounts);
  {
    auto rs = OpenKeyset("select * from Amounts where Id = 1", db.connection_string());
    // Unchanged values go back as they came.
    for (const char* name : {"Big", "Price", "Kept"})
      rs->SetValue(Variant(name), rs->Value(Variant(name)));
    rs->Update();
    rs->Close();
  }
  {
    auto rs = OpenKeyset("select * from Amounts where 0", db.connection_string());
    rs->AddNew();
    rs->SetValue(Variant("Id"), Variant(4));
    rs->SetValue(Variant("Big"), Dec("9007199254740993"));
    rs->SetValue(Variant("Price"), Dec("0.30"));
    rs->SetValue(Variant("Kept"), Dec("-1.50"));
    rs->Update();
    EXPECT_TRUE(rs->Value(Variant("Big")).Identical(Dec("9007199254740993")));
    rs->Close();
  }
  auto raw = OpenStatic(
      "select Big || '' as B, typeof(Big) as BT, Price || '' as P, typeof(Price) as PT, "
      "Kept || '' as K from Amounts where Id in (1, 4) order by Id",
      db.connection_string());
  const char* expected[][5] = {
      {"12345678901234567", "integer", "1.98", "real", "12345678901234567.5"},
      {"9007199254740993", "integer", "0.3", "real", "-1.5"},
  };
  for (const auto& row : expected) {
    int i = 0;
    for (const char* name : {"B", "BT", "P", "PT", "K"})
      EXPECT_EQ(ConcatText(raw->Value(Variant(name))), row[i++]) << name;
    raw->MoveNext();
  }
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
