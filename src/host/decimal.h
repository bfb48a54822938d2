// Decimal numbers as the legacy runtime held them: a 96-bit magnitude, a
// scale of 0..28 (the power of ten it is divided by) and a sign, in
// DecimalValue (variant.h).
//
// A Decimal carries what a NUMERIC or DECIMAL column holds exactly: whole
// numbers past a double's 15 digits, and decimal fractions as written.
// Only what the component needs is here: making one from digits, text,
// whole numbers, money and doubles; its text; comparison; conversion to a
// double and to whole numbers. There is no arithmetic. Every function is
// pure and safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/variant.h"

namespace tabrix {

inline constexpr int kMaxDecimalScale = 28;

// What happens to digits a Decimal cannot hold (past 28 decimals, or past
// what 96 bits hold): rounded half to even, or refused.
enum class DecimalFit { kRound, kExact };

// The number (negative ? -1 : 1) * digits * 10^exponent, `digits` being a
// run of ASCII digits (leading zeros allowed; empty is zero). nullopt when
// the whole part does not fit in 96 bits, and under kExact when a non-zero
// digit would be lost. Zero has no sign.
std::optional<DecimalValue> MakeDecimal(bool negative, std::string_view digits, long exponent,
                                        DecimalFit fit);

// Invariant text: an optional sign, digits with an optional "." among or
// after them, an optional exponent ("1e5", "2.5E-3"). nullopt for any
// other text (blanks and grouping included) and as MakeDecimal says.
std::optional<DecimalValue> ParseInvariantDecimal(std::string_view text, DecimalFit fit);

DecimalValue DecimalFromLong(std::int64_t n);
// The amount at scale 4.
DecimalValue DecimalFromCurrency(CurrencyValue c);
// A double as its 15-significant-digit text reads, so 1.98 stays 1.98.
// nullopt for infinities and NaN and where that text does not fit a
// Decimal exactly (from 2^96 on, or more than 28 decimals).
std::optional<DecimalValue> DecimalFromDouble(double d);

// Every digit in plain notation, never an exponent: "-" for a negative,
// the whole part ("0" when there is none), then `decimal_symbol` and the
// fraction without its trailing zeros. 1.50 gives "1.5"; zero gives "0".
std::string DecimalText(const DecimalValue& d, std::string_view decimal_symbol);

bool IsZero(const DecimalValue& d);
// <0, 0 or >0 by value, whatever the two scales.
int CompareDecimals(const DecimalValue& a, const DecimalValue& b);
// The double nearest to the value.
double DecimalToDouble(const DecimalValue& d);
// The value times 10^scale (scale 0..4), rounded half to even; nullopt
// outside the 64-bit range. Scale 0 is the whole number, 4 Currency's.
std::optional<std::int64_t> DecimalToScaledLong(const DecimalValue& d, int scale);

}  // namespace tabrix
