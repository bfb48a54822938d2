// The small value helpers: SQL-safe text, defaults for empty values,
// numbers forced from any value and rounded half to even, two-digit date
// parts, and random letter codes.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "values/regional_test_support.h"

namespace tabrix {
namespace {

using testing::ErrorNumberOf;
// CheckNum's tests switch the regional settings; en-US comes back afterwards.
using CheckNum = testing::RegionalTest;

// A value for failure messages: its subtype, and its text where it has one.
std::string Show(const Variant& v) {
  if (v.IsString()) return "\"" + v.string() + "\"";
  if (v.type() == VarType::Long) return "Long " + std::to_string(v.long_value());
  if (v.type() == VarType::Double) return "Double " + SqlNumberText(v);
  return std::string(v.TypeName());
}

TEST(CheckStr, DoublesApostrophesAndBars) {
  struct Case {
    Variant in;
    const char* expected;
  } cases[] = {
      {"O'Brien|x", "O''Brien||x"},
      {"plain text", "plain text"},
      {"", ""},
      {"''", "''''"},
      {"|'|", "||''||"},
      {"Çağ'ın", "Çağ''ın"},
      {Variant(), ""},
      {12.5, "12.5"},
  };
  testing::ComponentHarness h;
  for (const auto& c : cases) {
    Variant result = h.object().CheckStr(c.in);
    ASSERT_TRUE(result.IsString()) << Show(c.in);
    EXPECT_EQ(result.string(), c.expected) << Show(c.in);
  }
  EXPECT_EQ(ErrorNumberOf([&] { h.object().CheckStr(Variant::Null()); }), kErrInvalidNull);
}

TEST(IfNull, GivesTheDefaultOnlyForEmptyValues) {
  struct Case {
    Variant in;
    Variant expected;
  } cases[] = {
      {"", "none"},
      {Variant(), "none"},
      {Variant::Null(), "none"},
      {0, 0},          // a number is never empty
      {"0", "0"},      // and text keeps its subtype
      {" ", " "},
      {false, false},
      {2.5, 2.5},
  };
  testing::ComponentHarness h;
  for (const auto& c : cases) {
    EXPECT_TRUE(h.object().IfNull(c.in, Variant("none")).Identical(c.expected)) << Show(c.in);
  }
  // The default comes back as it is, whatever it holds.
  EXPECT_TRUE(h.object().IfNull(Variant(), Variant::Null()).IsNull());
}

TEST_F(CheckNum, GivesADoubleForNumbersAndTheInteger0ForTheRest) {
  struct Case {
    Variant in;
    Variant expected;
  } cases[] = {
      {"12.5", 12.5},
      {" -3 ", -3.0},
      {7, 7.0},
      {true, -1.0},
      {"abc", 0},
      {"12.5x", 0},
      {"", 0},
      {Variant(), 0},
      {Variant::Null(), 0},
  };
  testing::ComponentHarness h;
  for (const auto& c : cases) {
    EXPECT_TRUE(h.object().CheckNum(c.in).Identical(c.expected)) << Show(c.in);
  }
}

TEST_F(CheckNum, ReadsTextWithTheRegionalDecimalSymbol) {
  Locale::SetCurrent("de-DE");
  testing::ComponentHarness h;
  EXPECT_TRUE(h.object().CheckNum(Variant("12,5")).Identical(Variant(12.5)));
  EXPECT_TRUE(h.object().CheckNum(Variant("abc")).Identical(Variant(0)));
}

TEST(RoundNull, RoundsHalfToEvenOnTheDecimalDigits) {
  struct Case {
    Variant in;
    Variant decimals;
    Variant expected;
  } cases[] = {
      {2.5, 0, 2.0},
      {3.5, 0, 4.0},
      {-2.5, 0, -2.0},
      {-3.5, 0, -4.0},
      {2.675, 2, 2.68},  // a half as written, though stored just below
      {2.665, 2, 2.66},
      {0.125, 2, 0.12},
      {9.995, 2, 10.0},
      {1234.5678, 2, 1234.57},
      {0.0004, 3, 0.0},
      {0.3, 20, 0.3},
      {1e300, 2, 1e300},
      {"12.345", 1, 12.3},
      {1.5, "0", 2.0},
      {2.25, 1.5, 2.25},  // the decimals round to even too: 1.5 gives 2
      {"x", 3, 0},        // not a number: the integer 0
      {Variant::Null(), 0, 0},
  };
  testing::ComponentHarness h;
  for (const auto& c : cases) {
    Variant result = h.object().RoundNull(c.in, c.decimals);
    EXPECT_TRUE(result.Identical(c.expected))
        << Show(c.in) << " to " << Show(c.decimals) << " gave " << Show(result);
  }
}

TEST(RoundNull, RejectsNegativeAndMissingDecimals) {
  testing::ComponentHarness h;
  EXPECT_EQ(ErrorNumberOf([&] { h.object().RoundNull(Variant(2.5), Variant(-1)); }),
            kErrInvalidArgument);
  EXPECT_EQ(ErrorNumberOf([&] { h.object().RoundNull(Variant(2.5), Variant::Null()); }),
            kErrInvalidNull);
  EXPECT_EQ(ErrorNumberOf([&] { h.object().RoundNull(Variant(2.5), Variant("two")); }),
            kErrTypeMismatch);
}

TEST(IkiliYaz, PadsNumbersBelowTenWithAZero) {
  struct Case {
    Variant in;
    Variant expected;
  } cases[] = {
      {0, "00"}, {7, "07"}, {9, "09"}, {9.0, "09"},
      {10, 10},  // numbers above 9 come back unchanged, as numbers
      {59, 59},  {9.5, 9.5},
  };
  testing::ComponentHarness h;
  for (const auto& c : cases) {
    EXPECT_TRUE(h.object().IkiliYaz(c.in).Identical(c.expected)) << Show(c.in);
  }
}

TEST(GeneratePinCode, DrawsCnLettersFromAToT) {
  testing::ComponentHarness h;
  struct Case {
    Variant cn;
    size_t length;
  } cases[] = {{0, 0}, {-3, 0}, {6, 6}, {2.5, 2}, {"4", 4}, {Variant(), 0}};
  for (const auto& c : cases) {
    Variant code = h.object().GeneratePinCode(c.cn);
    ASSERT_TRUE(code.IsString()) << Show(c.cn);
    EXPECT_EQ(code.string().size(), c.length) << Show(c.cn);
  }

  // Over many draws every one of the 20 letters comes out, and no other.
  Variant many = h.object().GeneratePinCode(Variant(4000));
  std::set<char> seen(many.string().begin(), many.string().end());
  EXPECT_EQ(seen.size(), 20u);
  EXPECT_EQ(*seen.begin(), 'A');
  EXPECT_EQ(*seen.rbegin(), 'T');

  // The generator moves on between calls.
  EXPECT_NE(h.object().GeneratePinCode(Variant(20)).string(),
            h.object().GeneratePinCode(Variant(20)).string());

  EXPECT_EQ(ErrorNumberOf([&] { h.object().GeneratePinCode(Variant::Null()); }), kErrInvalidNull);
  EXPECT_EQ(ErrorNumberOf([&] { h.object().GeneratePinCode(Variant("six")); }), kErrTypeMismatch);
}

}  // namespace
}  // namespace tabrix
