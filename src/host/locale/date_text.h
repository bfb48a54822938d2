// Dates as text, given the date data of a locale.
//
// The regional settings (locale.h) read their patterns, month names and
// day-period words from ICU once; these functions only read that data, so
// they are safe from any thread.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "host/variant.h"
#include "host/variant_ops.h"

namespace tabrix::regional {

// Which field comes first in the regional short date.
enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

struct DateSymbols {
  // ICU-style patterns ("M/d/yyyy", "h:mm:ss a"); letters y M L d H h K k
  // m s a are fields, text in apostrophes is literal.
  std::string date_pattern = "M/d/yyyy";
  std::string time_pattern = "h:mm:ss a";
  std::array<std::string, 12> months;
  std::array<std::string, 12> months_abbreviated;
  std::string am = "AM";
  std::string pm = "PM";
  DateOrder order = DateOrder::MonthDayYear;
};

// The English data, also the fallback where a locale lacks a field.
DateSymbols EnglishDateSymbols();

// `t` written through `pattern`. Year fields always write four digits.
std::string FormatDatePattern(std::string_view pattern, const CivilTime& t,
                              const DateSymbols& symbols);

// The short date and the time with seconds; the date alone at midnight, the
// time alone on day 0 (1899-12-30). Raises 5 outside the calendar's range.
std::string DateText(DateValue d, const DateSymbols& symbols);

// ISO 8601 date text: "YYYY-M-D", optionally followed by " " or "T" and
// "H:MM", "H:MM:SS" or "H:MM:SS.fff", the time optionally followed by "Z"
// or an offset from UTC ("+02:00", "-0530", "+02"). The clock time is kept
// as written and the offset dropped; fractions of a second are kept. The
// outer nullopt when the text has another shape, the inner when it names no
// day of the calendar (years 100 to 9999) or no time of day.
std::optional<std::optional<DateValue>> ReadIsoDate(std::string_view text);

// ISO text as ReadIsoDate reads it, the regional order of
// day, month and year with "/", "-" or "." between them, month names (the
// locale's or English, full or abbreviated), an optional time with AM/PM;
// a time alone is a time on day 0. Two-digit years 00-29 are 2000-2029,
// 30-99 are 1930-1999; a missing year is the current one. When day and
// month in the regional order make no date but swapped do, they are taken
// swapped, as the runtime did. nullopt for anything else and for days the
// calendar does not have.
std::optional<DateValue> ParseDate(std::string_view text, const DateSymbols& symbols);

}  // namespace tabrix::regional
