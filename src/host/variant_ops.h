// Conversions, tests and comparisons of Variants, after the legacy runtime.
//
// Text conversion of numbers and dates goes through the process's regional
// settings (host/locale); SqlNumberText is the one invariant form, for SQL.
// Every function raises ScriptError on failure with the runtime's number:
// 13 type mismatch, 94 invalid use of Null, 6 overflow.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/variant.h"

namespace tabrix {

// The "empty" test: Empty, Null and "" are empty; 0 is not.
bool IsEmptyText(const Variant& v);

// Text conversion (CStr): Empty gives "", Null raises 94, Boolean gives
// "True"/"False", numbers and dates use the regional settings, arrays and
// objects raise 13.
std::string ToText(const Variant& v);
// Concatenation's view of a value: like ToText, but Null gives "".
std::string ConcatText(const Variant& v);

// Numeric conversion (CDbl): Empty gives 0, Null raises 94, True gives -1,
// text must pass the regional numeric test, a date gives its serial.
double ToDouble(const Variant& v);
// Whole-number conversion (CLng): rounds half to even; raises 6 outside
// the 64-bit range (ToInt32: outside the 32-bit range).
std::int64_t ToLong(const Variant& v);
std::int32_t ToInt32(const Variant& v);
// Boolean conversion (CBool): numbers are true when non-zero; text "True"
// or "False" in any case, or a number.
bool ToBool(const Variant& v);
// Date conversion (CDate): dates, numbers as serials, text through the
// regional date reading.
DateValue ToDate(const Variant& v);
CurrencyValue ToCurrency(const Variant& v);

// The runtime's numeric test (IsNumeric): numbers, Empty, and text that
// passes the regional numeric test. Null, dates-as-text and objects fail.
bool IsNumeric(const Variant& v);
// The date test (IsDate): dates, and text that reads as a date.
bool IsDate(const Variant& v);

// A number in the invariant form for SQL: "12.5", "-3", no grouping, up to
// 15 significant digits; a Decimal with all its digits. Raises as ToDouble
// does for non-numbers.
std::string SqlNumberText(const Variant& v);

// The runtime's comparison of two values. Returns nullopt when either is
// Null (the comparison yields Null); else <0, 0, >0. Numbers compare as
// numbers, text as text (binary, or ignoring case when `ignore_case`), a
// number is less than any text, Empty counts as 0 against a number and as ""
// against text, Boolean True is -1. A Decimal compares exactly with whole
// numbers, money and decimals, and as a double with a Double or a Date.
std::optional<int> Compare(const Variant& a, const Variant& b, bool ignore_case = false);
// `a = b` taken as a condition: Null counts as false.
bool Equals(const Variant& a, const Variant& b, bool ignore_case = false);

// Calendar helpers for DateValue.
struct CivilTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
// Fields out of range carry over (month 13 is January of the next year,
// second 60 the next minute); raises 5 when the result lies outside
// 100-01-01 .. 9999-12-31.
DateValue MakeDate(const CivilTime& t);
// Raises 5 for a date outside 100-01-01 .. 9999-12-31.
CivilTime SplitDate(DateValue d);
// Whether y-m-d is a real calendar day (1..9999).
bool IsValidCivilDate(int year, int month, int day);
// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" (the time only when not midnight).
std::string IsoDateText(DateValue d);

}  // namespace tabrix
