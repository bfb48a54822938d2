// Variant conversions after the legacy runtime: the "empty" test, text,
// numbers, whole numbers, Booleans, money, dates, and the numeric test.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "support/error_number.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {

class Thing : public Object {
 public:
  std::string_view ClassName() const override { return "Thing"; }
};

Variant AnObject() { return Variant(std::make_shared<Thing>()); }
Variant AnArray() { return Variant::Array({Variant(1), Variant(2)}); }
Variant Money(double amount) {
  return Variant(CurrencyValue{static_cast<std::int64_t>(std::llround(amount * 10000))});
}
Variant At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return Variant(MakeDate(CivilTime{y, mo, d, h, mi, s}));
}


class ConversionTest : public ::testing::Test {
 protected:
  void TearDown() override { Locale::SetCurrent("en-US"); }
};

TEST_F(ConversionTest, EmptyTest) {
  struct Case {
    Variant value;
    bool empty;
    const char* name;
  } cases[] = {
      {Variant(), true, "Empty"},         {Variant::Null(), true, "Null"},
      {Variant(""), true, "\"\""},        {Variant(0), false, "0"},
      {Variant(0.0), false, "0.0"},       {Variant("0"), false, "\"0\""},
      {Variant(" "), false, "\" \""},     {Variant(false), false, "False"},
      {AnObject(), false, "an object"},
  };
  for (const auto& c : cases) EXPECT_EQ(IsEmptyText(c.value), c.empty) << c.name;
}

TEST_F(ConversionTest, ToTextOfEachSubtype) {
  struct Case {
    Variant value;
    const char* en_us;
    const char* de_de;
  } cases[] = {
      {Variant(), "", ""},
      {Variant(true), "True", "True"},
      {Variant(false), "False", "False"},
      {Variant(-42), "-42", "-42"},
      {Variant(9007199254740993LL), "9007199254740993", "9007199254740993"},
      {Variant(12.5), "12.5", "12,5"},
      {Variant(0.1 + 0.2), "0.3", "0,3"},
      {Variant(1e20), "1E+20", "1E+20"},
      {Money(12.5), "12.5", "12,5"},
      {At(2004, 3, 5, 9, 7, 30), "3/5/2004 9:07:30 AM", "05.03.2004 09:07:30"},
      {Variant("abc"), "abc", "abc"},
      {Variant::Binary({'h', 'i'}), "hi", "hi"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToText(c.value), c.en_us) << c.en_us;
  Locale::SetCurrent("de-DE");
  for (const auto& c : cases) EXPECT_EQ(ToText(c.value), c.de_de) << c.de_de;
}

TEST_F(ConversionTest, ToTextRefusesNullArraysAndObjects) {
  EXPECT_EQ(ErrorNumberOf([] { ToText(Variant::Null()); }), kErrInvalidNull);
  EXPECT_EQ(ErrorNumberOf([] { ToText(AnArray()); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { ToText(AnObject()); }), kErrTypeMismatch);
}

TEST_F(ConversionTest, ConcatTextTakesNullAsEmptyText) {
  EXPECT_EQ(ConcatText(Variant::Null()), "");
  EXPECT_EQ(ConcatText(Variant()), "");
  EXPECT_EQ(ConcatText(Variant(5)), "5");
  EXPECT_EQ(ErrorNumberOf([] { ConcatText(AnObject()); }), kErrTypeMismatch);
}

TEST_F(ConversionTest, ToDouble) {
  EXPECT_EQ(ToDouble(Variant()), 0);
  EXPECT_EQ(ToDouble(Variant(true)), -1);
  EXPECT_EQ(ToDouble(Variant(false)), 0);
  EXPECT_EQ(ToDouble(Money(-1.25)), -1.25);
  EXPECT_EQ(ToDouble(At(1899, 12, 31, 12)), 1.5);
  EXPECT_EQ(ToDouble(Variant(" 1,234.5 ")), 1234.5);
  Locale::SetCurrent("de-DE");
  EXPECT_EQ(ToDouble(Variant("1.234,5")), 1234.5);
  EXPECT_EQ(ErrorNumberOf([] { ToDouble(Variant("abc")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { ToDouble(Variant("")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { ToDouble(Variant("3/5/2004")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { ToDouble(Variant::Null()); }), kErrInvalidNull);
  EXPECT_EQ(ErrorNumberOf([] { ToDouble(AnArray()); }), kErrTypeMismatch);
}

TEST_F(ConversionTest, ToLongRoundsHalfToEven) {
  struct Case {
    Variant value;
    std::int64_t whole;
    const char* name;
  } cases[] = {
      {Variant(2.5), 2, "2.5"},          {Variant(3.5), 4, "3.5"},
      {Variant(-2.5), -2, "-2.5"},       {Variant(-3.5), -4, "-3.5"},
      {Variant(2.4999), 2, "2.4999"},    {Variant(2.5001), 3, "2.5001"},
      {Variant("2.5"), 2, "\"2.5\""},    {Variant(" 7 "), 7, "\" 7 \""},
      {Money(2.5), 2, "money 2.5"},      {Money(3.5), 4, "money 3.5"},
      {Money(-2.5), -2, "money -2.5"},   {Money(-3.5), -4, "money -3.5"},
      {Money(-3.4), -3, "money -3.4"},   {Variant(true), -1, "True"},
      {Variant(), 0, "Empty"},           {At(2004, 3, 5, 18), 38052, "a date after noon"},
      {Variant(9.2e18), 9200000000000000000LL, "9.2e18"},
      {Variant(9223372036854775807LL), 9223372036854775807LL, "the largest Long"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToLong(c.value), c.whole) << c.name;
}

TEST_F(ConversionTest, ToLongAndToInt32Overflow) {
  EXPECT_EQ(ErrorNumberOf([] { ToLong(Variant(1e19)); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ToLong(Variant(-1e19)); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ToLong(Variant(9223372036854775808.0)); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ToLong(Variant("abc")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { ToLong(Variant::Null()); }), kErrInvalidNull);
  EXPECT_EQ(ToInt32(Variant(2147483647.4)), 2147483647);
  EXPECT_EQ(ToInt32(Variant(-2147483648LL)), -2147483647 - 1);
  EXPECT_EQ(ErrorNumberOf([] { ToInt32(Variant(2147483647.5)); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ToInt32(Variant(-2147483649LL)); }), kErrOverflow);
}

TEST_F(ConversionTest, ToBool) {
  struct Case {
    Variant value;
    bool result;
    const char* name;
  } cases[] = {
      {Variant("TRUE"), true, "\"TRUE\""}, {Variant("false"), false, "\"false\""},
      {Variant("0"), false, "\"0\""},      {Variant("-2.5"), true, "\"-2.5\""},
      {Variant(0.0), false, "0.0"},        {Variant(0.1), true, "0.1"},
      {Variant(), false, "Empty"},         {Money(0), false, "money 0"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToBool(c.value), c.result) << c.name;
  EXPECT_EQ(ErrorNumberOf([] { ToBool(Variant("yes")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { ToBool(Variant::Null()); }), kErrInvalidNull);
}

TEST_F(ConversionTest, ToCurrencyKeepsFourDecimalsHalfToEven) {
  EXPECT_EQ(ToCurrency(Variant(1.23456)).scaled, 12346);
  EXPECT_EQ(ToCurrency(Variant(0.00125)).scaled, 12);
  EXPECT_EQ(ToCurrency(Variant("12.5")).scaled, 125000);
  EXPECT_EQ(ToCurrency(Variant(-3)).scaled, -30000);
  EXPECT_EQ(ToCurrency(Variant(true)).scaled, -10000);
  EXPECT_EQ(ErrorNumberOf([] { ToCurrency(Variant(1e15)); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ToCurrency(Variant(1000000000000000LL)); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ToCurrency(Variant("abc")); }), kErrTypeMismatch);
}

TEST_F(ConversionTest, ToDate) {
  EXPECT_EQ(ToDate(Variant("3/5/2004")).serial, 38051);
  EXPECT_EQ(ToDate(Variant(38051.5)).serial, 38051.5);
  EXPECT_EQ(ToDate(Variant()).serial, 0);
  EXPECT_EQ(ErrorNumberOf([] { ToDate(Variant("abc")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { ToDate(Variant("38051")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { ToDate(Variant(1e10)); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ToDate(Variant::Null()); }), kErrInvalidNull);
}

TEST_F(ConversionTest, IsNumericAndIsDate) {
  struct Case {
    Variant value;
    bool numeric;
    bool date;
    const char* name;
  } cases[] = {
      {Variant(), true, false, "Empty"},
      {Variant(true), true, false, "True"},
      {Variant(5), true, false, "5"},
      {Variant(1.5), true, false, "1.5"},
      {Money(2), true, false, "money"},
      {Variant("12"), true, false, "\"12\""},
      {Variant(" -1,234.5e2 "), true, false, "\" -1,234.5e2 \""},
      {Variant(""), false, false, "\"\""},
      {Variant("abc"), false, false, "\"abc\""},
      {Variant("3/5/2004"), false, true, "\"3/5/2004\""},
      {At(2004, 3, 5), false, true, "a date"},
      {Variant::Null(), false, false, "Null"},
      {AnArray(), false, false, "an array"},
      {AnObject(), false, false, "an object"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsNumeric(c.value), c.numeric) << c.name;
    EXPECT_EQ(IsDate(c.value), c.date) << c.name;
  }
}

TEST_F(ConversionTest, SqlNumberTextIsInvariant) {
  Locale::SetCurrent("de-DE");
  struct Case {
    Variant value;
    const char* text;
  } cases[] = {
      {Variant(12.5), "12.5"},     {Variant("12,5"), "12.5"},  {Variant(-3), "-3"},
      {Money(1234.5), "1234.5"},   {Variant(true), "-1"},      {Variant(), "0"},
      {Variant(1e20), "1E+20"},    {Variant(0.1 + 0.2), "0.3"},
  };
  for (const auto& c : cases) EXPECT_EQ(SqlNumberText(c.value), c.text) << c.text;
  EXPECT_EQ(ErrorNumberOf([] { SqlNumberText(Variant("abc")); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { SqlNumberText(Variant::Null()); }), kErrInvalidNull);
}

}  // namespace
}  // namespace tabrix
