// Regional settings on ICU: one locale per process.
//
// The locale decides how numbers and dates read and write as text for
// people: decimal and grouping symbols, month names, the numeric test, date
// text, and the case mapping used for captions. SQL text never goes through
// here (numbers in SQL are invariant, see variant_ops.h). Set the locale once
// at start-up, before any other thread runs; reading it afterwards is
// thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/variant.h"

namespace tabrix {

class Locale {
 public:
  // The process's locale; "en-US" until SetCurrent is called.
  static const Locale& Current();
  // Makes `tag` (a BCP 47 tag such as "tr-TR") the process's locale.
  // Raises 5 for a tag ICU does not know.
  static void SetCurrent(std::string_view tag);

  virtual ~Locale() = default;

  virtual const std::string& tag() const = 0;
  virtual const std::string& decimal_symbol() const = 0;
  virtual const std::string& group_symbol() const = 0;

  // Month name, month 1..12; the full name or the abbreviated one.
  virtual std::string MonthName(int month, bool abbreviated) const = 0;

  // A Double as the runtime's text conversion writes it: at most 15
  // significant digits, the regional decimal symbol, no grouping, "E+20"
  // style for large and small magnitudes. Currency has up to 4 decimals.
  virtual std::string DoubleText(double d) const = 0;
  virtual std::string CurrencyText(CurrencyValue c) const = 0;

  // A number with exactly `decimals` decimals (rounded half away from zero),
  // with grouping when `group` is true, negatives with a leading "-".
  virtual std::string FormatNumber(double d, int decimals, bool group) const = 0;

  // A date as the runtime's text conversion writes it: the regional short
  // date with a four-digit year and the regional time with seconds; a date
  // with no time part writes the date alone, a time on day 0 the time alone.
  virtual std::string DateText(DateValue d) const = 0;

  // The numeric test and conversion of text: surrounding blanks, a sign, the
  // regional decimal and grouping symbols, an exponent. nullopt when the
  // text is not a number.
  virtual std::optional<double> ParseNumber(std::string_view text) const = 0;
  // The same text read as an exact Decimal (see regional::ParseDecimal).
  virtual std::optional<DecimalValue> ParseDecimal(std::string_view text) const = 0;

  // True or False for "True", "False" or the locale's own words for them
  // ("Wahr", "Falsch" under German), in any case, blanks around ignored;
  // nullopt for any other text, numbers included.
  virtual std::optional<bool> ParseBoolean(std::string_view text) const = 0;

  // Text to date as the runtime's date conversion reads it: ISO
  // "YYYY-MM-DD[ HH:MM[:SS]]", the regional short date order with "/", "-"
  // or "." separators, month names; an optional time. nullopt when the text
  // is no date.
  virtual std::optional<DateValue> ParseDate(std::string_view text) const = 0;

  // Case mapping by the locale (captions only).
  virtual std::string ToUpper(std::string_view text) const = 0;
  virtual std::string ToLower(std::string_view text) const = 0;
};

// Case folding without a locale, for every comparison that ignores case:
// "ID" folds like "id" under tr-TR too.
std::string FoldCase(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// Position (0-based) of `needle` in `haystack` at or after `from`, ignoring
// case; std::string::npos when absent. Positions are byte offsets into
// `haystack`.
size_t FindIgnoreCase(std::string_view haystack, std::string_view needle, size_t from = 0);

}  // namespace tabrix
