// PostgreSQL values through the facade: each type's ADO type and Variant,
// money and numeric digit for digit, values written with bound parameters
// and read back as they were, and text PostgreSQL cannot store refused.
#include <gtest/gtest.h>

#include <string>

#include "host/adodb/recordset_helpers.h"
#include "host/decimal.h"
#include "host/variant_ops.h"
#include "support/postgres_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::PostgresFixture;
using testing::OpenKeyset;
using testing::OpenStatic;
using testing::Raised;

DecimalValue Dec(const char* text) { return *ParseInvariantDecimal(text, DecimalFit::kExact); }

constexpr const char* kTypes = R"sql(
  CREATE TABLE "Typed"(
    i2 int2, i4 int4, i8 int8, b bool, f4 float4, f8 float8, n numeric(30, 4), m money,
    d date, ts timestamp, tz timestamptz, c char(3), vc varchar(20), t text, by bytea,
    u uuid, js json, tm time);
  INSERT INTO "Typed" VALUES (
    -7, 123456, 9007199254740993, true, 1.5, 0.1, 123456789012345678901234.5678,
    -1234567.89, '2008-06-05', '2008-06-05 10:20:30', '2008-06-05 10:20:30+00', 'ab',
    'x''y\z', 'Müşteri', '\x00ff41', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', '{"a": 1}',
    '10:20');
  CREATE TABLE Store(Id serial PRIMARY KEY, L int8, D float8, N numeric(20, 6), M money,
                     Dt timestamp, S text, Bin bytea, Flag bool);
)sql";

TEST(PostgresValues, EachTypeReadsAsItsAdoTypeAndVariant) {
  PostgresFixture db(kTypes);
  DateValue day = MakeDate({2008, 6, 5});
  DateValue moment = MakeDate({2008, 6, 5, 10, 20, 30});
  struct {
    const char* field;
    long type;
    Variant value;
  } cases[] = {
      {"i2", 2, Variant(-7)},
      {"i4", 3, Variant(123456)},
      {"i8", 20, Variant(9007199254740993LL)},
      {"b", 11, Variant(true)},
      {"f4", 4, Variant(1.5)},
      {"f8", 5, Variant(0.1)},
      {"n", 131, Variant(Dec("123456789012345678901234.5678"))},
      {"m", 6, Variant(CurrencyValue{-12345678900})},
      {"d", 7, Variant(day)},
      {"ts", 135, Variant(moment)},
      {"c", 130, Variant("ab ")},
      {"vc", 202, Variant("x'y\\z")},
      {"t", 202, Variant("Müşteri")},
      {"by", 205, Variant::Binary({0x00, 0xff, 0x41})},
      {"u", 72, Variant("a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11")},
      {"js", 202, Variant("{\"a\": 1}")},
      {"tm", 202, Variant("10:20:00")},
  };
  auto rs = OpenStatic("select * from typed", db.connection_string());
  for (const auto& c : cases) {
    auto field = rs->fields().Item(Variant(c.field));
    EXPECT_EQ(field->Type(), c.type) << c.field;
    EXPECT_TRUE(field->Value().Identical(c.value))
        << c.field << ": " << ConcatText(field->Value()) << " vs " << ConcatText(c.value);
  }
  EXPECT_EQ(rs->fields().Item(Variant("vc"))->DefinedSize(), 20);
  // A time zone's offset is dropped; the clock time is the session's.
  EXPECT_EQ(rs->Value(Variant("tz")).type(), VarType::Date);
}

TEST(PostgresValues, WrittenWithParametersAndReadBackAsTheyWere) {
  PostgresFixture db(kTypes);
  struct {
    const char* field;
    Variant value;
  } cases[] = {
      {"L", Variant(-9007199254740993LL)},
      {"D", Variant(1.0 / 3.0)},
      {"N", Variant(Dec("-12345678901234.123456"))},
      {"M", Variant(CurrencyValue{12345678900})},  // money keeps cents
      {"Dt", Variant(MakeDate({1999, 12, 31, 23, 59, 58}))},
      {"S", Variant("it's a \\ back\\slash, a \"quote\", || bars and ünïcödé")},
      {"Bin", Variant::Binary({0, 1, 2, 0x5c, 0x27, 0xff})},
      {"Flag", Variant(true)},
  };
  auto rs = OpenKeyset("select * from Store", db.connection_string());
  rs->AddNew();
  for (const auto& c : cases) rs->SetValue(Variant(c.field), c.value);
  rs->Update();
  EXPECT_TRUE(rs->Value(Variant("Id")).Identical(Variant(1)));
  rs->Close();
  auto back = OpenStatic("select * from Store", db.connection_string());
  for (const auto& c : cases)
    EXPECT_TRUE(back->Value(Variant(c.field)).Identical(c.value))
        << c.field << ": " << ConcatText(back->Value(Variant(c.field)));
}

TEST(PostgresValues, TextWithANulByteIsRefusedAndNothingIsStored) {
  PostgresFixture db(kTypes);
  auto rs = OpenKeyset("select * from Store", db.connection_string());
  rs->AddNew();
  rs->SetValue(Variant("S"), Variant(std::string("cut\0here", 8)));
  EXPECT_EQ(Raised([&] { rs->Update(); }).number(), kErrAdoArguments);
  rs->CancelUpdate();
  rs->Close();
  EXPECT_EQ(ToLong(OpenStatic("select count(*) from Store", db.connection_string())
                       ->Value(Variant(0))),
            0);
}

TEST(PostgresValues, ExpressionsTakeTheirResultType) {
  PostgresFixture db;
  auto rs = OpenStatic(
      "select 1 + 1 as i, count(*) as n, 2.5 as r, 'x' as s, null as z, now()::date as d",
      db.connection_string());
  const long expected[] = {3, 20, 131, 202, 202, 7};
  for (long i = 0; i < 6; ++i)
    EXPECT_EQ(rs->fields().Item(Variant(i))->Type(), expected[i]) << "column " << i;
}

}  // namespace
}  // namespace tabrix::adodb
