// Regional settings: choosing a locale, its symbols and month names, and
// numbers and dates written as text under en-US, de-DE and tr-TR.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "support/error_number.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {

// Every test leaves the process in en-US, whatever it switched to.
class LocaleTextTest : public ::testing::Test {
 protected:
  void TearDown() override { Locale::SetCurrent("en-US"); }

  static const Locale& Use(const std::string& tag) {
    Locale::SetCurrent(tag);
    return Locale::Current();
  }
};


DateValue At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return MakeDate(CivilTime{y, mo, d, h, mi, s});
}

TEST_F(LocaleTextTest, StartsAsEnUs) {
  // Run alone (as CTest runs each test), this sees the untouched default.
  EXPECT_EQ(Locale::Current().tag(), "en-US");
  EXPECT_EQ(Locale::Current().decimal_symbol(), ".");
}

TEST_F(LocaleTextTest, AcceptsKnownTagsInTheirCanonicalForm) {
  struct Case {
    const char* given;
    const char* tag;
  } cases[] = {
      {"de-DE", "de-DE"}, {"tr_TR", "tr-TR"}, {"de", "de"}, {"es-419", "es-419"},
  };
  for (const auto& c : cases) EXPECT_EQ(Use(c.given).tag(), c.tag) << c.given;
}

TEST_F(LocaleTextTest, RejectsUnknownTagsWithFiveAndKeepsTheCurrentLocale) {
  Use("de-DE");
  for (const char* tag : {"", "xx-YY", "en-ZZ", "und", "root", "not a tag", "C"}) {
    EXPECT_EQ(ErrorNumberOf([&] { Locale::SetCurrent(tag); }), kErrInvalidArgument)
        << "\"" << tag << "\"";
    EXPECT_EQ(Locale::Current().tag(), "de-DE") << "\"" << tag << "\"";
  }
}

// What each locale writes; one row per locale.
struct LocaleTexts {
  const char* tag;
  const char* decimal;
  const char* group;
  const char* march;
  const char* march_abbreviated;
  const char* may_abbreviated;
  const char* number;       // FormatNumber(1234.5678, 2, true)
  const char* double_text;  // DoubleText(-1.5E-07)
  const char* currency;     // CurrencyText(1234.5678)
  const char* date_time;    // 2004-03-05 09:07:30
  const char* date_only;    // 2004-03-05
  const char* time_only;    // 21:07:30 on day 0
};

const LocaleTexts kLocaleTexts[] = {
    {"en-US", ".", ",", "March", "Mar", "May", "1,234.57", "-1.5E-07", "1234.5678",
     "3/5/2004 9:07:30 AM", "3/5/2004", "9:07:30 PM"},
    {"de-DE", ",", ".", "März", "März", "Mai", "1.234,57", "-1,5E-07", "1234,5678",
     "05.03.2004 09:07:30", "05.03.2004", "21:07:30"},
    {"tr-TR", ",", ".", "Mart", "Mar", "May", "1.234,57", "-1,5E-07", "1234,5678",
     "5.03.2004 09:07:30", "5.03.2004", "21:07:30"},
};

TEST_F(LocaleTextTest, WritesEachLocalesSymbolsNamesNumbersAndDates) {
  for (const LocaleTexts& c : kLocaleTexts) {
    SCOPED_TRACE(c.tag);
    const Locale& loc = Use(c.tag);
    EXPECT_EQ(loc.decimal_symbol(), c.decimal);
    EXPECT_EQ(loc.group_symbol(), c.group);
    EXPECT_EQ(loc.MonthName(3, false), c.march);
    EXPECT_EQ(loc.MonthName(3, true), c.march_abbreviated);
    EXPECT_EQ(loc.MonthName(5, true), c.may_abbreviated);
    EXPECT_EQ(loc.FormatNumber(1234.5678, 2, true), c.number);
    EXPECT_EQ(loc.DoubleText(-1.5E-07), c.double_text);
    EXPECT_EQ(loc.CurrencyText(CurrencyValue{12345678}), c.currency);
    EXPECT_EQ(loc.DateText(At(2004, 3, 5, 9, 7, 30)), c.date_time);
    EXPECT_EQ(loc.DateText(At(2004, 3, 5)), c.date_only);
    EXPECT_EQ(loc.DateText(At(1899, 12, 30, 21, 7, 30)), c.time_only);
  }
}

TEST_F(LocaleTextTest, MonthNameOutsideOneToTwelveRaisesFive) {
  const Locale& loc = Locale::Current();
  EXPECT_EQ(loc.MonthName(1, false), "January");
  EXPECT_EQ(loc.MonthName(12, true), "Dec");
  EXPECT_EQ(ErrorNumberOf([&] { loc.MonthName(0, false); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorNumberOf([&] { loc.MonthName(13, true); }), kErrInvalidArgument);
}

TEST_F(LocaleTextTest, DoubleTextKeepsFifteenDigitsAndSwitchesToExponents) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {-1234.5, "-1234.5"},
      {100, "100"},
      {999999999999999.0, "999999999999999"},
      {1e15, "1E+15"},
      {123456789012345678.0, "1.23456789012346E+17"},
      {1e20, "1E+20"},
      {1e100, "1E+100"},
      {0.0001, "0.0001"},
      {0.00001, "1E-05"},
      {1.5e-7, "1.5E-07"},
  };
  for (const auto& c : cases) EXPECT_EQ(Locale::Current().DoubleText(c.value), c.text) << c.text;
}

TEST_F(LocaleTextTest, FormatNumberRoundsHalfAwayFromZeroOnTheDecimalDigits) {
  struct Case {
    double value;
    int decimals;
    bool group;
    const char* text;
  } cases[] = {
      {1234.5678, 2, false, "1234.57"},
      {0.5, 0, true, "1"},
      {2.5, 0, true, "3"},  // not to even
      {-2.5, 0, true, "-3"},
      {2.675, 2, true, "2.68"},  // 2.67499999... in binary
      {999.995, 2, true, "1,000.00"},
      {1234567.891, 0, true, "1,234,568"},
      {-1234567.891, 3, true, "-1,234,567.891"},
      {123, 3, true, "123.000"},
      {0, 2, true, "0.00"},
      {-0.001, 2, true, "0.00"},  // rounds to zero: no sign
      {0.000123, 5, true, "0.00012"},
      {0.05, 1, true, "0.1"},
      {1.255, -1, true, "1.26"},  // the regional default of 2 decimals
      {1e20, 2, true, "100,000,000,000,000,000,000.00"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Locale::Current().FormatNumber(c.value, c.decimals, c.group), c.text) << c.text;
}

TEST_F(LocaleTextTest, CurrencyTextDropsTrailingZeros) {
  struct Case {
    std::int64_t scaled;
    const char* text;
  } cases[] = {
      {12340000, "1234"},
      {-15000, "-1.5"},
      {5, "0.0005"},
      {0, "0"},
      {std::numeric_limits<std::int64_t>::min(), "-922337203685477.5808"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Locale::Current().CurrencyText(CurrencyValue{c.scaled}), c.text) << c.text;
}

TEST_F(LocaleTextTest, DateTextAroundMiddayMidnightAndTheEpoch) {
  struct Case {
    DateValue date;
    const char* text;
  } cases[] = {
      {At(2004, 3, 5, 12, 0, 0), "3/5/2004 12:00:00 PM"},
      {At(2004, 3, 5, 0, 0, 1), "3/5/2004 12:00:01 AM"},
      {At(9999, 12, 31, 23, 59, 59), "12/31/9999 11:59:59 PM"},
      {At(100, 1, 1), "1/1/0100"},
      {DateValue{0}, "12:00:00 AM"},     // day 0 writes its time, even midnight
      {DateValue{-0.5}, "12:00:00 PM"},  // still day 0
      {DateValue{-1.25}, "12/29/1899 6:00:00 AM"},
      {DateValue{1}, "12/31/1899"},
  };
  for (const auto& c : cases) EXPECT_EQ(Locale::Current().DateText(c.date), c.text) << c.text;
  EXPECT_EQ(ErrorNumberOf([] { Locale::Current().DateText(DateValue{1e7}); }),
            kErrInvalidArgument);
}

TEST_F(LocaleTextTest, ReadsFromSeveralThreadsAtOnce) {
  const Locale& loc = Use("tr-TR");
  DateValue date = At(2004, 3, 5, 21, 7, 30);
  const std::string date_text = loc.DateText(date);
  const std::string upper = loc.ToUpper("istanbul");
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 500; ++i) {
        const Locale& current = Locale::Current();
        std::optional<DateValue> back = current.ParseDate(current.DateText(date));
        if (current.DateText(date) != date_text || !back || !(*back == date) ||
            current.ToUpper("istanbul") != upper ||
            current.FormatNumber(-1234.5, 1, true) != "-1.234,5")
          ++mismatches;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace tabrix
