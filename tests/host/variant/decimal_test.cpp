// Decimal: exact numbers of up to 28 significant digits, as NUMERIC and
// DECIMAL columns hold them. Their reading and rounding, their text (every
// digit, plain notation, no trailing zeros), comparisons with every other
// number, and the conversions the component makes.
#include "host/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "support/error_number.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {

// The Decimal of invariant `text`, which the test knows to be one.
Variant Dec(const char* text) {
  std::optional<DecimalValue> d = ParseInvariantDecimal(text, DecimalFit::kExact);
  EXPECT_TRUE(d.has_value()) << text;
  return d ? Variant(*d) : Variant();
}

std::string Shown(const std::optional<DecimalValue>& d) {
  return d ? DecimalText(*d, ".") : "none";
}

class DecimalTest : public ::testing::Test {
 protected:
  void TearDown() override { Locale::SetCurrent("en-US"); }
};

TEST_F(DecimalTest, InvariantTextReadsExactlyOrRoundsPastWhatADecimalHolds) {
  struct Case {
    const char* text;
    const char* rounded;  // under kRound
    const char* exact;    // under kExact
  } cases[] = {
      {"12345678901234567", "12345678901234567", "12345678901234567"},
      {"1.50", "1.5", "1.5"},
      {"-0.5", "-0.5", "-0.5"},
      {"+7", "7", "7"},
      {"-0.000", "0", "0"},  // zero has no sign
      {".5", "0.5", "0.5"},
      {"5.", "5", "5"},
      {"2.5E3", "2500", "2500"},
      {"1e-28", "0.0000000000000000000000000001", "0.0000000000000000000000000001"},
      {"79228162514264337593543950335", "79228162514264337593543950335",
       "79228162514264337593543950335"},  // 2^96 - 1, the largest
      {"79228162514264337593543950336", "none", "none"},
      {"1e29", "none", "none"},
      // Past 28 decimals the digits round half to even, or are refused.
      {"0.12345678901234567890123456789", "0.1234567890123456789012345679", "none"},
      {"0.10000000000000000000000000000000", "0.1", "0.1"},  // only zeros are lost
      {"5e-29", "0", "none"},
      {"6e-29", "0.0000000000000000000000000001", "none"},
      // Past 96 bits the last decimals go the same way.
      {"7922816251426433759354395033.55", "7922816251426433759354395034", "none"},
      {"", "none", "none"},
      {"-", "none", "none"},
      {".", "none", "none"},
      {"1e", "none", "none"},
      {" 1", "none", "none"},
      {"1,5", "none", "none"},
      {"1.2.3", "none", "none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Shown(ParseInvariantDecimal(c.text, DecimalFit::kRound)), c.rounded);
    EXPECT_EQ(Shown(ParseInvariantDecimal(c.text, DecimalFit::kExact)), c.exact);
  }
}

TEST_F(DecimalTest, ADoubleReadsThroughItsFifteenDigitText) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {1.98, "1.98"},
      {0.1, "0.1"},
      {-2.5, "-2.5"},
      {0.0, "0"},
      {1e20, "100000000000000000000"},
      {12345678901234567.0, "12345678901234600"},  // a double knows 15 digits
      {1e-30, "none"},                             // past 28 decimals
      {1e29, "none"},                              // past 96 bits
      {std::numeric_limits<double>::quiet_NaN(), "none"},
      {std::numeric_limits<double>::infinity(), "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(Shown(DecimalFromDouble(c.value)), c.text) << c.value;
}

TEST_F(DecimalTest, TextHasEveryDigitAndTheRegionalDecimalSymbol) {
  struct Case {
    const char* value;
    const char* en_us;
    const char* de_de;
  } cases[] = {
      {"12345678901234567", "12345678901234567", "12345678901234567"},
      {"12345678901234567.5", "12345678901234567.5", "12345678901234567,5"},
      {"1.50", "1.5", "1,5"},
      {"-0.25", "-0.25", "-0,25"},
      {"1e20", "100000000000000000000", "100000000000000000000"},
  };
  for (const auto& c : cases) {
    Locale::SetCurrent("en-US");
    EXPECT_EQ(ToText(Dec(c.value)), c.en_us);
    Locale::SetCurrent("de-DE");
    EXPECT_EQ(ToText(Dec(c.value)), c.de_de);
    // SQL always gets the invariant form.
    EXPECT_EQ(SqlNumberText(Dec(c.value)), c.en_us);
  }
}

TEST_F(DecimalTest, ComparesByValueWithEveryKindOfNumber) {
  struct Case {
    const char* name;
    Variant a, b;
    int order;
  } cases[] = {
      {"scales differ", Dec("1.5"), Dec("1.50"), 0},
      {"past a double's digits", Dec("12345678901234567"), Dec("12345678901234568"), -1},
      {"negatives", Dec("-2"), Dec("-1.5"), -1},
      {"zero signs", Dec("-0"), Dec("0.00"), 0},
      {"largest against a scaled one", Dec("79228162514264337593543950335"),
       Dec("7.9228162514264337593543950335"), 1},
      {"tiny", Dec("0.0000000000000000000000000001"), Dec("0"), 1},
      {"long, exactly", Dec("9007199254740992"), Variant(9007199254740993LL), -1},
      {"long max", Dec("9223372036854775808"), Variant(std::numeric_limits<long long>::max()), 1},
      {"currency", Dec("1.2345"), Variant(CurrencyValue{12345}), 0},
      {"double", Dec("0.1"), Variant(0.1), 0},
      {"double below", Dec("2.5"), Variant(2.75), -1},
      {"True is -1", Dec("-1"), Variant(true), 0},
      {"Empty is 0", Dec("0"), Variant(), 0},
      {"text is above any number", Dec("5"), Variant("1"), -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Compare(c.a, c.b), c.order);
    EXPECT_EQ(Compare(c.b, c.a), -c.order);
  }
  EXPECT_EQ(Compare(Dec("1"), Variant::Null()), std::nullopt);
  EXPECT_TRUE(Dec("1.5").Identical(Dec("1.500")));
  EXPECT_FALSE(Dec("1.5").Identical(Variant(1.5)));  // another subtype
}

TEST_F(DecimalTest, ConvertsToTheOtherSubtypes) {
  EXPECT_EQ(ToDouble(Dec("12345678901234567.5")), 12345678901234567.5);
  EXPECT_EQ(ToDouble(Dec("-0.1")), -0.1);
  // Whole numbers round half to even, exactly.
  EXPECT_EQ(ToLong(Dec("2.5")), 2);
  EXPECT_EQ(ToLong(Dec("3.5")), 4);
  EXPECT_EQ(ToLong(Dec("-2.5")), -2);
  EXPECT_EQ(ToLong(Dec("9007199254740993")), 9007199254740993LL);
  EXPECT_EQ(ToLong(Dec("-9223372036854775808")), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(ErrorNumberOf([] { ToLong(Dec("9223372036854775807.5")); }), kErrOverflow);
  EXPECT_EQ(ToCurrency(Dec("1.23455")).scaled, 12346);
  EXPECT_EQ(ToCurrency(Dec("-1.23445")).scaled, -12344);
  EXPECT_EQ(ErrorNumberOf([] { ToCurrency(Dec("922337203685478")); }), kErrOverflow);
  EXPECT_TRUE(ToBool(Dec("0.001")));
  EXPECT_FALSE(ToBool(Dec("0.000")));
  EXPECT_EQ(ToDate(Dec("2.5")).serial, 2.5);
  // A number, never empty, even at zero.
  EXPECT_TRUE(IsNumeric(Dec("0")));
  EXPECT_FALSE(IsEmptyText(Dec("0")));
  EXPECT_TRUE(Dec("0").IsNumericType());
  EXPECT_EQ(Dec("0").TypeName(), "Decimal");
}

}  // namespace
}  // namespace tabrix
