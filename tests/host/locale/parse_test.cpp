// Reading what people type: the regional numeric test and date reading.
#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>

#include "host/decimal.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"

namespace tabrix {
namespace {

class ParseTest : public ::testing::Test {
 protected:
  void TearDown() override { Locale::SetCurrent("en-US"); }

  static const Locale& Use(const std::string& tag) {
    Locale::SetCurrent(tag);
    return Locale::Current();
  }
};

// The ISO text of a parsed date, or "no date".
std::string ParsedDate(const Locale& loc, const std::string& text) {
  std::optional<DateValue> d = loc.ParseDate(text);
  return d ? IsoDateText(*d) : "no date";
}

int ThisYear() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

struct NumberCase {
  const char* tag;
  const char* text;
  std::optional<double> value;
};

TEST_F(ParseTest, NumbersUnderEachLocale) {
  const NumberCase cases[] = {
      {"en-US", "1234", 1234},
      {"en-US", " 12.5 ", 12.5},
      {"en-US", "\t-3\t", -3},
      {"en-US", "+3", 3},
      {"en-US", "1,234.5", 1234.5},
      {"en-US", "1,234,567", 1234567},
      {"en-US", "12,34", 1234},  // groups are not counted, as the runtime did
      {"en-US", ".5", 0.5},
      {"en-US", "5.", 5},
      {"en-US", "1e3", 1000},
      {"en-US", "-2.5E-3", -0.0025},
      {"en-US", "1e-400", 0},
      {"en-US", "", std::nullopt},
      {"en-US", "   ", std::nullopt},
      {"en-US", "abc", std::nullopt},
      {"en-US", "12a", std::nullopt},
      {"en-US", "1.2.3", std::nullopt},
      {"en-US", "1,", std::nullopt},
      {"en-US", ",1", std::nullopt},
      {"en-US", "1,,2", std::nullopt},
      {"en-US", "1 2", std::nullopt},
      {"en-US", "--1", std::nullopt},
      {"en-US", ".", std::nullopt},
      {"en-US", "+", std::nullopt},
      {"en-US", "1e", std::nullopt},
      {"en-US", "e5", std::nullopt},
      {"en-US", "1e400", std::nullopt},
      {"en-US", "1,5E2x", std::nullopt},
      {"de-DE", "1.234,5", 1234.5},
      {"de-DE", "1,5", 1.5},
      {"de-DE", "1.5", 15},  // "." groups in de-DE
      {"de-DE", "1,234.5", std::nullopt},
      {"tr-TR", "-1.234,5", -1234.5},
      {"fr-FR", "1 234,5", 1234.5},  // a typed blank for the no-break space
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + " \"" + c.text + "\"");
    std::optional<double> got = Use(c.tag).ParseNumber(c.text);
    ASSERT_EQ(got.has_value(), c.value.has_value());
    if (got) {
      EXPECT_DOUBLE_EQ(*got, *c.value);
    }
  }
}

TEST_F(ParseTest, TypedNumbersAsExactDecimals) {
  struct Case {
    const char* tag;
    const char* text;
    const char* decimal;  // invariant text, or "none"
  } cases[] = {
      {"en-US", "12345678901234567", "12345678901234567"},
      {"en-US", " 9,007,199,254,740,993 ", "9007199254740993"},
      {"en-US", "-12345678901234567.50", "-12345678901234567.5"},
      {"en-US", "1e3", "1000"},
      {"en-US", "1e-400", "0"},  // as ParseNumber's 0
      {"en-US", "1e30", "none"},  // a double, but past a Decimal
      {"en-US", "abc", "none"},
      {"en-US", "", "none"},
      {"de-DE", "12.345.678.901.234.567,5", "12345678901234567.5"},
      {"de-DE", "1.5", "15"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + " \"" + c.text + "\"");
    std::optional<DecimalValue> got = Use(c.tag).ParseDecimal(c.text);
    EXPECT_EQ(got ? DecimalText(*got, ".") : "none", c.decimal);
  }
}

TEST_F(ParseTest, BooleanWordsInEnglishAndTheLocalesLanguage) {
  struct Case {
    const char* tag;
    const char* text;
    std::optional<bool> value;
  } cases[] = {
      {"en-US", "True", true},
      {"en-US", " false ", false},
      {"en-US", "TRUE", true},
      {"en-US", "Wahr", std::nullopt},
      {"en-US", "1", std::nullopt},  // numbers are no words
      {"en-US", "", std::nullopt},
      {"de-DE", "wahr", true},
      {"de-DE", "Falsch", false},
      {"de-DE", "True", true},  // English under every locale
      {"tr-TR", "DO\xC4\x9ERU", true},
      {"tr-TR", "yanl\xC4\xB1\xC5\x9F", false},
      {"fr-FR", "Vrai", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Use(c.tag).ParseBoolean(c.text), c.value) << c.tag << " \"" << c.text << "\"";
  }
}

struct DateCase {
  const char* tag;
  const char* text;
  const char* iso;  // IsoDateText of the result, or "no date"
};

TEST_F(ParseTest, DatesUnderEachLocale) {
  const DateCase cases[] = {
      // ISO forms, read the same everywhere.
      {"en-US", "2004-03-05", "2004-03-05"},
      {"en-US", "2004-3-5 9:07", "2004-03-05 09:07:00"},
      {"de-DE", "2004-03-05 09:07:30", "2004-03-05 09:07:30"},
      {"en-US", "2004-03-05T09:07:30", "2004-03-05 09:07:30"},
      {"en-US", "2004-03-05 09:07:30.6", "2004-03-05 09:07:31"},
      {"en-US", "2004-03-05 09:07:30.4", "2004-03-05 09:07:30"},
      {"en-US", "1899-12-29 18:00:00.6", "1899-12-29 18:00:01"},
      {"en-US", "9999-12-31 23:59:59.9", "9999-12-31 23:59:59"},
      {"en-US", "2004-03-05T09:07:30.000+02:00", "2004-03-05 09:07:30"},  // clock as written
      {"en-US", "2004-03-05T23:30-0530", "2004-03-05 23:30:00"},
      {"en-US", "2004-03-05T09:07Z", "2004-03-05 09:07:00"},
      {"en-US", "2004-02-30", "no date"},
      {"en-US", "2004-02-30T09:07+02:00", "no date"},
      {"en-US", "2004-03-05 24:00", "no date"},
      {"en-US", "2004-03-05+02:00", "no date"},
      // The regional order, with each separator.
      {"en-US", "3/5/2004", "2004-03-05"},
      {"en-US", "3-5-2004", "2004-03-05"},
      {"en-US", "3.5.2004", "2004-03-05"},
      {"en-US", " 3 / 5 / 2004 ", "2004-03-05"},
      {"en-US", "2004/3/5", "2004-03-05"},
      {"en-US", "3/5/04", "2004-03-05"},
      {"en-US", "3/5/29", "2029-03-05"},
      {"en-US", "3/5/30", "1930-03-05"},
      {"en-US", "13/5/2004", "2004-05-13"},  // no 13th month: taken swapped
      {"de-DE", "05.03.2004", "2004-03-05"},
      {"de-DE", "5/3/2004", "2004-03-05"},
      {"tr-TR", "5.03.2004", "2004-03-05"},
      // Leap days and days the calendar lacks.
      {"en-US", "2/29/2004", "2004-02-29"},
      {"en-US", "2/29/2000", "2000-02-29"},
      {"en-US", "2/29/1900", "no date"},
      {"en-US", "2/29/2003", "no date"},
      {"en-US", "2/30/2004", "no date"},
      {"en-US", "13/13/2004", "no date"},
      {"en-US", "0/5/2004", "no date"},
      {"de-DE", "31.04.2004", "no date"},
      {"en-US", "1/1/99", "1999-01-01"},
      {"en-US", "1/1/0099", "no date"},  // before the year 100
      // Times.
      {"en-US", "3/5/2004 9:07:30 PM", "2004-03-05 21:07:30"},
      {"en-US", "3/5/2004 12:00 AM", "2004-03-05"},
      {"en-US", "3/5/2004 12:15 pm", "2004-03-05 12:15:00"},
      {"en-US", "3/5/2004 9 PM", "2004-03-05 21:00:00"},
      {"en-US", "9:07:30 AM 3/5/2004", "2004-03-05 09:07:30"},
      {"de-DE", "5.3.2004 21:07:30", "2004-03-05 21:07:30"},
      {"tr-TR", "5.03.2004 09:07 ÖS", "2004-03-05 21:07:00"},
      {"en-US", "3/5/2004 25:00", "no date"},
      {"en-US", "3/5/2004 9:60", "no date"},
      {"en-US", "3/5/2004 13:00 PM", "no date"},
      {"en-US", "3/5/2004 9:07:30:15", "no date"},
      {"en-US", "3/5/2004 9:", "no date"},
      // Month names: the locale's, or English; full or abbreviated.
      {"en-US", "March 5, 2004", "2004-03-05"},
      {"en-US", "5 March 2004", "2004-03-05"},
      {"en-US", "5-mar-2004", "2004-03-05"},
      {"en-US", "2004 Mar 5", "2004-03-05"},
      {"en-US", "March 2004", "2004-03-01"},
      {"de-DE", "5. März 2004", "2004-03-05"},
      {"de-DE", "5. MÄRZ 2004", "2004-03-05"},
      {"de-DE", "5 Jan. 2004", "2004-01-05"},
      {"de-DE", "5 March 2004", "2004-03-05"},
      {"tr-TR", "5 Mart 2004", "2004-03-05"},
      {"en-US", "February 30, 2004", "no date"},
      {"en-US", "Foo 5, 2004", "no date"},
      {"en-US", "March April 2004", "no date"},
      // Not dates at all.
      {"en-US", "", "no date"},
      {"en-US", "abc", "no date"},
      {"en-US", "5", "no date"},
      {"en-US", "12 5", "no date"},
      {"en-US", "1,5", "no date"},
      {"en-US", "3/5/2004/7", "no date"},
      {"en-US", "3/5/2004!", "no date"},
      {"en-US", "-3/5/2004", "no date"},
      {"en-US", "1/1/10000", "no date"},
  };
  for (const DateCase& c : cases)
    EXPECT_EQ(ParsedDate(Use(c.tag), c.text), c.iso) << c.tag << " \"" << c.text << "\"";
}

TEST_F(ParseTest, TimeAloneIsOnDayZero) {
  std::optional<DateValue> d = Locale::Current().ParseDate("9:07:30 PM");
  ASSERT_TRUE(d.has_value());
  EXPECT_GT(d->serial, 0.0);
  EXPECT_LT(d->serial, 1.0);
  EXPECT_EQ(Locale::Current().DateText(*d), "9:07:30 PM");
}

TEST_F(ParseTest, MissingYearIsTheCurrentOne) {
  std::string year = std::to_string(ThisYear());
  EXPECT_EQ(ParsedDate(Locale::Current(), "3/5"), year + "-03-05");
  EXPECT_EQ(ParsedDate(Use("de-DE"), "5.3."), year + "-03-05");
  EXPECT_EQ(ParsedDate(Use("en-US"), "March 5"), year + "-03-05");
}

}  // namespace
}  // namespace tabrix
