// Money amounts and dates as text under two regional settings: en-US, and
// de-DE with its decimal comma, point grouping and German month names.
#include <gtest/gtest.h>

#include <string>

#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "values/regional_test_support.h"

namespace tabrix {
namespace {

using testing::ErrorNumberOf;
// Each test may switch the regional settings; en-US comes back afterwards.
using MoneyText = testing::RegionalTest;
using DateText = testing::RegionalTest;

Variant At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return Variant(MakeDate(CivilTime{year, month, day, hour, minute, second}));
}

TEST_F(MoneyText, FiyatGosterCutsToTwoDecimalsOfTheWrittenNumber) {
  struct Case {
    const char* locale;
    Variant amount;
    const char* expected;
  } cases[] = {
      {"en-US", 1234.5678, "1,234.56"},
      {"en-US", 2.999, "2.99"},  // cut, never rounded
      {"en-US", 0.29, "0.29"},   // no binary artefact: 0.29 is not 0.28999...
      {"en-US", 1.13, "1.13"},
      {"en-US", 0.009, "0.00"},
      {"en-US", 10, "10.00"},
      {"en-US", 1234567.8, "1,234,567.80"},
      {"en-US", -1234.5678, "-1,234.56"},
      {"en-US", 1e-7, "0.00"},
      {"en-US", "12.5", "12.50"},
      {"en-US", CurrencyValue{123456}, "12.34"},
      {"de-DE", 1234.5678, "1.234,56"},
      {"de-DE", 0.29, "0,29"},
      {"de-DE", -2.999, "-2,99"},
      {"de-DE", "12,5", "12,50"},
  };
  testing::ComponentHarness h;
  for (const auto& c : cases) {
    Locale::SetCurrent(c.locale);
    Variant result = h.object().FiyatGoster(c.amount);
    ASSERT_TRUE(result.IsString()) << c.locale << " " << c.expected;
    EXPECT_EQ(result.string(), c.expected) << c.locale;
  }
}

TEST_F(MoneyText, FiyatGosterGivesTheNumber0ForAnEmptyAmount) {
  testing::ComponentHarness h;
  for (const char* locale : {"en-US", "de-DE"}) {
    Locale::SetCurrent(locale);
    for (const Variant& empty : {Variant(), Variant::Null(), Variant("")}) {
      EXPECT_TRUE(h.object().FiyatGoster(empty).Identical(Variant(0))) << locale;
    }
    EXPECT_EQ(ErrorNumberOf([&] { h.object().FiyatGoster(Variant("ten")); }), kErrTypeMismatch);
  }
}

TEST_F(MoneyText, FiyatYazRoundsToTheRegionalFormat) {
  struct Case {
    const char* locale;
    Variant amount;
    const char* expected;
  } cases[] = {
      {"en-US", 1234.5, "1,234.50"},
      {"en-US", 2.999, "3.00"},
      {"en-US", 0, "0.00"},
      {"en-US", -1234567.125, "-1,234,567.13"},
      {"en-US", "7", "7.00"},
      {"en-US", "", "0.00"},
      {"en-US", Variant::Null(), "0.00"},
      {"de-DE", 1234.5, "1.234,50"},
      {"de-DE", -0.5, "-0,50"},
      {"de-DE", Variant(), "0.00"},  // the empty amount is the same everywhere
      {"de-DE", "", "0.00"},
  };
  testing::ComponentHarness h;
  for (const auto& c : cases) {
    Locale::SetCurrent(c.locale);
    Variant result = h.object().FiyatYaz(c.amount);
    ASSERT_TRUE(result.IsString()) << c.locale << " " << c.expected;
    EXPECT_EQ(result.string(), c.expected) << c.locale;
  }
  EXPECT_EQ(ErrorNumberOf([&] { h.object().FiyatYaz(Variant("ten")); }), kErrTypeMismatch);
}

TEST_F(DateText, TarihYazWritesDayMonthNameYearAndTime) {
  struct Case {
    const char* locale;
    Variant date;
    const char* with_time;
    const char* date_only;
  } cases[] = {
      {"en-US", At(2004, 3, 5, 9, 7, 30), "05 March 2004, 09:07", "05 March 2004"},
      {"en-US", At(2004, 3, 5), "05 March 2004, 00:00", "05 March 2004"},
      {"en-US", At(2019, 12, 31, 23, 59, 59), "31 December 2019, 23:59", "31 December 2019"},
      {"en-US", At(812, 1, 10, 10, 10), "10 January 812, 10:10", "10 January 812"},
      {"en-US", "2004-03-05 09:07", "05 March 2004, 09:07", "05 March 2004"},
      {"en-US", "3/5/2004", "05 March 2004, 00:00", "05 March 2004"},
      {"de-DE", At(2004, 3, 5, 9, 7, 30), "05 März 2004, 09:07", "05 März 2004"},
      {"de-DE", "05.03.2004 18:45", "05 März 2004, 18:45", "05 März 2004"},
      {"tr-TR", At(2004, 8, 1, 12, 0), "01 Ağustos 2004, 12:00", "01 Ağustos 2004"},
  };
  testing::ComponentHarness h;
  for (const auto& c : cases) {
    Locale::SetCurrent(c.locale);
    Variant full = h.object().TarihYaz(c.date);
    ASSERT_TRUE(full.IsString()) << c.locale << " " << c.with_time;
    EXPECT_EQ(full.string(), c.with_time) << c.locale;
    EXPECT_TRUE(h.object().TarihYazB(c.date).Identical(full)) << c.locale << " " << c.with_time;
    Variant short_form = h.object().TarihYazK(c.date);
    ASSERT_TRUE(short_form.IsString()) << c.locale << " " << c.date_only;
    EXPECT_EQ(short_form.string(), c.date_only) << c.locale;
  }
}

TEST_F(DateText, TarihYazRejectsNullAndValuesThatAreNoDate) {
  testing::ComponentHarness h;
  using DateMethod = Variant (Tabrix1::*)(const Variant&);
  for (DateMethod method : {&Tabrix1::TarihYaz, &Tabrix1::TarihYazB, &Tabrix1::TarihYazK}) {
    EXPECT_EQ(ErrorNumberOf([&] { (h.object().*method)(Variant::Null()); }), kErrInvalidNull);
    EXPECT_EQ(ErrorNumberOf([&] { (h.object().*method)(Variant("yesterday")); }), kErrTypeMismatch);
    EXPECT_EQ(ErrorNumberOf([&] { (h.object().*method)(Variant("2004-02-30")); }), kErrTypeMismatch);
  }
}

}  // namespace
}  // namespace tabrix
