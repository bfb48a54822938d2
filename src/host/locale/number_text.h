// Numbers as text, given the symbols of a locale.
//
// The regional settings (locale.h) hand their decimal and grouping symbols
// to these functions; variant_ops.cpp calls them with the invariant symbols
// for SQL text. Every function is pure and safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/variant.h"

namespace tabrix::regional {

struct NumberSymbols {
  std::string decimal = ".";
  std::string group = ",";
  // Further texts read as the group symbol (a plain blank where the locale
  // groups with a no-break space, which nobody types).
  std::vector<std::string> group_alternatives;
};

// The invariant symbols: "." for decimals, no grouping on output.
const NumberSymbols& InvariantSymbols();

// At most 15 significant digits, the shortest form, no grouping; "1E+20"
// and "1.5E-07" for magnitudes from 1E15 up and below 1E-4.
std::string DoubleText(double d, const NumberSymbols& symbols);
// The amount with up to 4 decimals, trailing zeros dropped.
std::string CurrencyText(CurrencyValue c, const NumberSymbols& symbols);
// Exactly `decimals` decimals (a negative count takes the regional default
// of 2), rounded half away from zero on the 15-digit decimal form of `d`;
// groups of three when `group`. A result that rounds to zero has no sign.
std::string FormatNumber(double d, int decimals, bool group, const NumberSymbols& symbols);
// Blanks around, a sign, digits with group symbols between them, the
// decimal symbol, an exponent ("1e5", "2.5E-3"). nullopt for anything else,
// for empty text and for a magnitude beyond a double; a magnitude too small
// for a double reads as 0.
std::optional<double> ParseNumber(std::string_view text, const NumberSymbols& symbols);
// The same text as ParseNumber reads, as an exact Decimal: digits past 28
// decimals are rounded half to even; nullopt where ParseNumber gives none
// and for a magnitude of 2^96 or more.
std::optional<DecimalValue> ParseDecimal(std::string_view text, const NumberSymbols& symbols);

}  // namespace tabrix::regional
