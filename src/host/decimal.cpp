#include "host/decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tabrix {

namespace {

// 128 bits hold any 96-bit magnitude times 10^4, and one times 10 while
// two scales are brought together.
__extension__ typedef unsigned __int128 Magnitude;

constexpr Magnitude kMaxMagnitude = (Magnitude{1} << 96) - 1;
// Digits in 2^96 - 1 (79228162514264337593543950335).
constexpr long kMaxDigits = 29;

Magnitude MagnitudeOf(const DecimalValue& d) { return (Magnitude{d.high} << 64) | d.low; }

DecimalValue FromMagnitude(Magnitude m, int scale, bool negative) {
  DecimalValue d;
  d.low = static_cast<std::uint64_t>(m);
  d.high = static_cast<std::uint32_t>(m >> 64);
  d.scale = static_cast<std::uint8_t>(scale);
  d.negative = negative && m != 0;
  return d;
}

std::string DigitsOf(Magnitude m) {
  if (m == 0) return "0";
  std::string out;
  for (; m != 0; m /= 10) out += static_cast<char>('0' + static_cast<int>(m % 10));
  std::reverse(out.begin(), out.end());
  return out;
}

Magnitude PowerOfTen(int n) {
  Magnitude p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Compares two magnitudes held at scales `sa` and `sb`.
int CompareMagnitudes(Magnitude a, int sa, Magnitude b, int sb) {
  // Bring the one with fewer decimals up; once past 96 bits it is the larger.
  for (; sa < sb; ++sa) {
    a *= 10;
    if (a > kMaxMagnitude) return 1;
  }
  for (; sb < sa; ++sb) {
    b *= 10;
    if (b > kMaxMagnitude) return -1;
  }
  return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

std::optional<DecimalValue> MakeDecimal(bool negative, std::string_view digits, long exponent,
                                        DecimalFit fit) {
  size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) return FromMagnitude(0, 0, false);
  digits.remove_prefix(first);
  const long n = static_cast<long>(digits.size());

  if (exponent >= 0) {
    if (n + exponent > kMaxDigits) return std::nullopt;
    Magnitude m = 0;
    for (char c : digits) m = m * 10 + static_cast<unsigned>(c - '0');
    m *= PowerOfTen(static_cast<int>(exponent));
    if (m > kMaxMagnitude) return std::nullopt;
    return FromMagnitude(m, 0, negative);
  }

  // Keep the first `keep` digits at `scale` decimals; what follows is cut
  // away, rounding the last digit kept.
  long scale = -exponent;
  long keep = n - std::max(0L, scale - kMaxDecimalScale);
  scale = std::min<long>(scale, kMaxDecimalScale);
  for (;;) {
    if (keep > kMaxDigits) {
      if (scale == 0) return std::nullopt;
      --keep, --scale;
      continue;
    }
    Magnitude m = 0;
    for (long i = 0; i < keep; ++i) m = m * 10 + static_cast<unsigned>(digits[i] - '0');
    if (keep < n) {
      // A negative `keep` stands for zeros before the first digit.
      std::string_view cut = digits.substr(static_cast<size_t>(std::max(0L, keep)));
      if (fit == DecimalFit::kExact && cut.find_first_not_of('0') != std::string_view::npos)
        return std::nullopt;
      char next = keep < 0 ? '0' : cut.front();
      bool more = cut.size() > 1 && cut.find_first_not_of('0', 1) != std::string_view::npos;
      if (next > '5' || (next == '5' && (more || m % 2 == 1))) ++m;
    }
    if (m > kMaxMagnitude) {
      if (scale == 0) return std::nullopt;
      --keep, --scale;
      continue;
    }
    return FromMagnitude(m, static_cast<int>(scale), negative);
  }
}

std::optional<DecimalValue> ParseInvariantDecimal(std::string_view text, DecimalFit fit) {
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  std::string digits;
  size_t fraction = 0;
  while (pos < text.size() && IsDigit(text[pos])) digits += text[pos++];
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && IsDigit(text[pos])) digits += text[pos++], ++fraction;
  }
  if (digits.empty()) return std::nullopt;
  long exponent = 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    bool exp_negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
      exp_negative = text[pos++] == '-';
    if (pos == text.size() || !IsDigit(text[pos])) return std::nullopt;
    // Past this an exponent means overflow or zero either way.
    while (pos < text.size() && IsDigit(text[pos]))
      exponent = std::min(exponent * 10 + (text[pos++] - '0'), 100000L);
    if (exp_negative) exponent = -exponent;
  }
  if (pos != text.size()) return std::nullopt;
  return MakeDecimal(negative, digits, exponent - static_cast<long>(fraction), fit);
}

DecimalValue DecimalFromLong(std::int64_t n) {
  std::uint64_t magnitude =
      n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  return FromMagnitude(magnitude, 0, n < 0);
}

DecimalValue DecimalFromCurrency(CurrencyValue c) {
  std::uint64_t magnitude = c.scaled < 0 ? 0 - static_cast<std::uint64_t>(c.scaled)
                                         : static_cast<std::uint64_t>(c.scaled);
  return FromMagnitude(magnitude, 4, c.scaled < 0);
}

std::optional<DecimalValue> DecimalFromDouble(double d) {
  if (!std::isfinite(d)) return std::nullopt;
  if (d == 0) return FromMagnitude(0, 0, false);
  // "1.98000000000000e+00": 15 significant digits and the power of the first.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::scientific, 14);
  std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
  size_t e = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e))
    if (c != '.') digits += c;
  int power = 0;
  std::string_view exp = text.substr(e + 1);
  if (!exp.empty() && exp[0] == '+') exp.remove_prefix(1);
  std::from_chars(exp.data(), exp.data() + exp.size(), power);
  long exponent = power - static_cast<long>(digits.size() - 1);
  // Trailing zeros are no decimals of the value: 1.98 is held at scale 2.
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back(), ++exponent;
  return MakeDecimal(d < 0, digits, exponent, DecimalFit::kExact);
}

std::string DecimalText(const DecimalValue& d, std::string_view decimal_symbol) {
  Magnitude m = MagnitudeOf(d);
  std::string digits = DigitsOf(m);
  if (digits.size() <= d.scale) digits.insert(0, d.scale + 1 - digits.size(), '0');
  size_t point = digits.size() - d.scale;
  std::string out = d.negative && m != 0 ? "-" : "";
  out += digits.substr(0, point);
  std::string fraction = digits.substr(point);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) out += std::string(decimal_symbol) + fraction;
  return out;
}

bool IsZero(const DecimalValue& d) { return d.low == 0 && d.high == 0; }

int CompareDecimals(const DecimalValue& a, const DecimalValue& b) {
  int sign_a = IsZero(a) ? 0 : (a.negative ? -1 : 1);
  int sign_b = IsZero(b) ? 0 : (b.negative ? -1 : 1);
  if (sign_a != sign_b) return sign_a < sign_b ? -1 : 1;
  if (sign_a == 0) return 0;
  int order = CompareMagnitudes(MagnitudeOf(a), a.scale, MagnitudeOf(b), b.scale);
  return sign_a > 0 ? order : -order;
}

double DecimalToDouble(const DecimalValue& d) {
  // from_chars rounds the exact digits once, to the nearest double.
  std::string text = DigitsOf(MagnitudeOf(d)) + "e-" + std::to_string(d.scale);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return d.negative ? -value : value;
}

std::optional<std::int64_t> DecimalToScaledLong(const DecimalValue& d, int scale) {
  Magnitude m = MagnitudeOf(d);
  if (scale >= d.scale) {
    m *= PowerOfTen(scale - d.scale);
  } else {
    Magnitude divisor = PowerOfTen(d.scale - scale);
    Magnitude rest = m % divisor;
    m /= divisor;
    Magnitude half = divisor / 2;
    if (rest > half || (rest == half && m % 2 == 1)) ++m;
  }
  // The negative range reaches one further than the positive one.
  constexpr auto kLongMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  Magnitude limit = Magnitude{kLongMax} + (d.negative ? 1 : 0);
  if (m > limit) return std::nullopt;
  std::uint64_t magnitude = static_cast<std::uint64_t>(m);
  return d.negative ? static_cast<std::int64_t>(0 - magnitude)
                    : static_cast<std::int64_t>(magnitude);
}

}  // namespace tabrix
