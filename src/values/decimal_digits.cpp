#include "values/decimal_digits.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace tabrix::values {

namespace {

constexpr int kSignificantDigits = 15;

void Normalize(DecimalDigits& value) {
  size_t first = value.digits.find_first_not_of('0');
  if (first == std::string::npos) {
    value = DecimalDigits{};
    return;
  }
  value.digits.erase(0, first);
  value.point -= static_cast<int>(first);
  value.digits.erase(value.digits.find_last_not_of('0') + 1);
}

}  // namespace

DecimalDigits ToDecimalDigits(double d) {
  DecimalDigits out;
  if (d == 0 || !std::isfinite(d)) return out;
  // "d.dddddddddddddde+XX": to_chars is exact and ignores the C locale.
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(d),
                                 std::chars_format::scientific, kSignificantDigits - 1);
  if (ec != std::errc()) return out;
  std::string text(buffer, end);
  size_t e = text.find('e');
  out.negative = d < 0;
  for (size_t i = 0; i < e; ++i)
    if (text[i] != '.') out.digits.push_back(text[i]);
  out.point = std::atoi(text.c_str() + e + 1) + 1;
  Normalize(out);
  return out;
}

DecimalDigits RoundHalfEven(DecimalDigits value, int decimals) {
  // `keep` digits stay; the first dropped digit decides.
  long keep = static_cast<long>(value.point) + decimals;
  if (keep >= static_cast<long>(value.digits.size())) return value;
  if (keep < 0) return DecimalDigits{};

  char first_dropped = value.digits[static_cast<size_t>(keep)];
  bool more_after = value.digits.size() > static_cast<size_t>(keep) + 1;
  char last_kept = keep > 0 ? value.digits[static_cast<size_t>(keep) - 1] : '0';
  bool up = first_dropped > '5' || (first_dropped == '5' && more_after) ||
            (first_dropped == '5' && (last_kept - '0') % 2 == 1);

  value.digits.resize(static_cast<size_t>(keep));
  if (up) {
    size_t i = value.digits.size();
    while (i > 0 && value.digits[i - 1] == '9') value.digits[--i] = '0';
    if (i == 0) {
      value.digits.insert(value.digits.begin(), '1');
      ++value.point;
    } else {
      ++value.digits[i - 1];
    }
  }
  bool negative = value.negative;
  Normalize(value);
  if (!value.digits.empty()) value.negative = negative;
  return value;
}

FixedParts CutToDecimals(const DecimalDigits& value, int decimals) {
  FixedParts parts;
  const std::string& digits = value.digits;
  auto digit_at = [&](long position) {  // position 0 is the first digit
    return position >= 0 && position < static_cast<long>(digits.size())
               ? digits[static_cast<size_t>(position)]
               : '0';
  };
  for (long i = 0; i < value.point; ++i) parts.whole.push_back(digit_at(i));
  if (parts.whole.empty()) parts.whole = "0";
  for (long i = 0; i < decimals; ++i) parts.fraction.push_back(digit_at(value.point + i));
  return parts;
}

double ToDouble(const DecimalDigits& value) {
  if (value.digits.empty()) return 0;
  std::string text = value.digits + "e" +
                     std::to_string(value.point - static_cast<long>(value.digits.size()));
  double d = 0;
  std::from_chars(text.data(), text.data() + text.size(), d, std::chars_format::general);
  return value.negative ? -d : d;
}

}  // namespace tabrix::values
