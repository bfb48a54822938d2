// Date serials: days since 1899-12-30 with the time of day as the fraction,
// which counts forward from midnight before the epoch too.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>

#include "host/variant_ops.h"
#include "support/error_number.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {


std::string Text(const CivilTime& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

struct RoundTrip {
  CivilTime civil;
  double serial;
};

TEST(CalendarTest, MakeAndSplitAreInverse) {
  const RoundTrip cases[] = {
      {{1899, 12, 30, 0, 0, 0}, 0},
      {{1899, 12, 30, 6, 0, 0}, 0.25},
      {{1899, 12, 31, 0, 0, 0}, 1},
      {{1900, 1, 1, 0, 0, 0}, 2},
      {{1899, 12, 29, 6, 0, 0}, -1.25},
      {{1899, 12, 29, 18, 0, 0}, -1.75},
      {{1800, 1, 1, 0, 0, 0}, -36522},
      {{2000, 2, 29, 0, 0, 0}, 36585},
      {{2004, 2, 29, 12, 0, 0}, 38046.5},
      {{2004, 3, 5, 0, 0, 0}, 38051},
      {{100, 1, 1, 0, 0, 0}, -657434},
      {{9999, 12, 31, 23, 59, 59}, 2958465 + 86399.0 / 86400},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(Text(c.civil));
    EXPECT_DOUBLE_EQ(MakeDate(c.civil).serial, c.serial);
    EXPECT_EQ(Text(SplitDate(DateValue{c.serial})), Text(c.civil));
  }
}

TEST(CalendarTest, SplitRoundsToTheNearestSecond) {
  struct Case {
    double serial;
    const char* civil;
  } cases[] = {
      {38051 + (9 * 3600 + 7 * 60 + 29.6) / 86400, "2004-03-05 09:07:30"},
      {38051 + (9 * 3600 + 7 * 60 + 29.4) / 86400, "2004-03-05 09:07:29"},
      {0.9999999, "1899-12-31 00:00:00"},
      {-1.9999999, "1899-12-30 00:00:00"},  // the next midnight of 12-29
      {-0.5, "1899-12-30 12:00:00"},
      {2958465.9999999, "9999-12-31 23:59:59"},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(SplitDate(DateValue{c.serial})), c.civil) << c.serial;
}

TEST(CalendarTest, OutOfRangeRaisesFive) {
  for (double serial : {-657435.0, 2958466.0, 1e300, std::nan("")})
    EXPECT_EQ(ErrorNumberOf([&] { SplitDate(DateValue{serial}); }), kErrInvalidArgument)
        << serial;
  EXPECT_EQ(ErrorNumberOf([] { MakeDate({99, 12, 31, 0, 0, 0}); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorNumberOf([] { MakeDate({10000, 1, 1, 0, 0, 0}); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorNumberOf([] { MakeDate({9999, 12, 31, 24, 0, 0}); }), kErrInvalidArgument);
}

TEST(CalendarTest, MakeDateCarriesFieldsOver) {
  struct Case {
    CivilTime given;
    const char* civil;
  } cases[] = {
      {{2003, 13, 1, 0, 0, 0}, "2004-01-01 00:00:00"},
      {{2004, 0, 1, 0, 0, 0}, "2003-12-01 00:00:00"},
      {{2003, 2, 29, 0, 0, 0}, "2003-03-01 00:00:00"},
      {{2004, 3, 0, 0, 0, 0}, "2004-02-29 00:00:00"},
      {{2004, 3, 5, 23, 59, 60}, "2004-03-06 00:00:00"},
      {{2004, 3, 5, 0, 0, -1}, "2004-03-04 23:59:59"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Text(SplitDate(MakeDate(c.given))), c.civil) << c.civil;
}

TEST(CalendarTest, ValidCivilDates) {
  struct Case {
    int year, month, day;
    bool valid;
  } cases[] = {
      {2000, 2, 29, true},  {1900, 2, 29, false}, {2004, 2, 29, true},  {2003, 2, 29, false},
      {2004, 4, 31, false}, {2004, 12, 31, true}, {2004, 13, 1, false}, {2004, 1, 0, false},
      {0, 1, 1, false},     {1, 1, 1, true},      {9999, 12, 31, true}, {10000, 1, 1, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsValidCivilDate(c.year, c.month, c.day), c.valid)
        << c.year << "-" << c.month << "-" << c.day;
}

TEST(CalendarTest, IsoDateTextWritesTheTimeOnlyWhenThereIsOne) {
  EXPECT_EQ(IsoDateText(DateValue{0}), "1899-12-30");
  EXPECT_EQ(IsoDateText(MakeDate({2004, 3, 5, 0, 0, 0})), "2004-03-05");
  EXPECT_EQ(IsoDateText(MakeDate({2004, 3, 5, 9, 7, 30})), "2004-03-05 09:07:30");
  EXPECT_EQ(IsoDateText(MakeDate({812, 6, 1, 0, 0, 1})), "0812-06-01 00:00:01");
  EXPECT_EQ(ErrorNumberOf([] { IsoDateText(DateValue{-1e6}); }), kErrInvalidArgument);
}

}  // namespace
}  // namespace tabrix
