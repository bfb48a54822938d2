// A double as the decimal digits people read: at most 15 significant
// digits, as the runtime writes a number as text. Money texts are cut and
// amounts rounded on these digits, so a value such as 0.29 (stored in
// binary as 0.28999999999999998) behaves as the 0.29 the user typed.
#pragma once

#include <string>

namespace tabrix::values {

// The value is (negative ? -1 : 1) * 0.digits * 10^point.
struct DecimalDigits {
  bool negative = false;
  std::string digits;  // no leading or trailing zeros; empty for zero
  int point = 0;       // digits before the decimal point (may be <= 0)
};

// The 15-significant-digit decimal form of a finite double. Zero (of
// either sign) gives empty digits and no sign.
DecimalDigits ToDecimalDigits(double d);

// The digits rounded to `decimals` places after the point, a half going
// to the even neighbour. `decimals` must be 0 or more.
DecimalDigits RoundHalfEven(DecimalDigits value, int decimals);

// The whole part ("0" when there is none) and exactly `decimals` digits
// after the point, the rest cut (never rounded), without the sign.
struct FixedParts {
  std::string whole;
  std::string fraction;
};
FixedParts CutToDecimals(const DecimalDigits& value, int decimals);

// The double nearest to the digits.
double ToDouble(const DecimalDigits& value);

}  // namespace tabrix::values
