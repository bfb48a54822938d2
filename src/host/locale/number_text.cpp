#include "host/locale/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

#include "host/decimal.h"

namespace tabrix::regional {

namespace {

constexpr int kSignificantDigits = 15;
constexpr int kDefaultDecimals = 2;
// Beyond this many decimals a double has nothing left to show.
constexpr int kMaxDecimals = 340;

std::string NonFiniteText(double d) {
  if (std::isnan(d)) return "NaN";
  return d < 0 ? "-Infinity" : "Infinity";
}

// The 15 significant digits of |d| (d finite, non-zero) and the power of
// ten of the first: |d| ~ 0.D1D2...D15 * 10^(exponent + 1).
struct DecimalDigits {
  std::string digits;
  int exponent = 0;
};

DecimalDigits SignificantDigits(double d) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::scientific,
                           kSignificantDigits - 1);
  std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
  DecimalDigits out;
  size_t e = text.find('e');
  for (size_t i = 0; i < e; ++i)
    if (text[i] != '.') out.digits += text[i];
  std::string_view exp = text.substr(e + 1);
  if (!exp.empty() && exp[0] == '+') exp.remove_prefix(1);
  std::from_chars(exp.data(), exp.data() + exp.size(), out.exponent);
  return out;
}

// "1234567" -> "1,234,567" with `group` between groups of three.
std::string Grouped(const std::string& integer, const std::string& group) {
  std::string out;
  size_t n = integer.size();
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += group;
    out += integer[i];
  }
  return out;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const NumberSymbols& InvariantSymbols() {
  static const NumberSymbols kInvariant{".", "", {}};
  return kInvariant;
}

std::string DoubleText(double d, const NumberSymbols& symbols) {
  if (!std::isfinite(d)) return NonFiniteText(d);
  if (d == 0) return "0";  // and not "-0"
  // The general form with 15 digits switches to an exponent exactly where
  // the runtime does: exponent >= 15 or < -4.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general,
                           kSignificantDigits);
  std::string out;
  for (const char* p = buf; p != res.ptr; ++p) {
    if (*p == '.')
      out += symbols.decimal;
    else if (*p == 'e')
      out += 'E';
    else
      out += *p;
  }
  return out;
}

std::string CurrencyText(CurrencyValue c, const NumberSymbols& symbols) {
  bool negative = c.scaled < 0;
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(c.scaled)
                                     : static_cast<std::uint64_t>(c.scaled);
  std::string out = negative ? "-" : "";
  out += std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(magnitude % 10000 + 10000).substr(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) out += symbols.decimal + fraction;
  return out;
}

std::string FormatNumber(double d, int decimals, bool group, const NumberSymbols& symbols) {
  if (!std::isfinite(d)) return NonFiniteText(d);
  if (decimals < 0) decimals = kDefaultDecimals;
  if (decimals > kMaxDecimals) decimals = kMaxDecimals;

  // digits[0, point) is the integer part, the rest the fraction.
  std::string digits = "0";
  int point = 1;
  if (d != 0) {
    DecimalDigits dd = SignificantDigits(d);
    digits = dd.digits;
    point = dd.exponent + 1;
    if (point < 1) {
      digits.insert(0, static_cast<size_t>(1 - point), '0');
      point = 1;
    }
  }
  size_t keep = static_cast<size_t>(point) + static_cast<size_t>(decimals);
  if (digits.size() < keep + 1) digits.append(keep + 1 - digits.size(), '0');

  bool round_up = digits[keep] >= '5';
  digits.resize(keep);
  if (round_up) {
    size_t i = keep;
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits.insert(digits.begin(), '1');
      ++point;
    } else {
      ++digits[i - 1];
    }
  }

  std::string integer = digits.substr(0, static_cast<size_t>(point));
  std::string fraction = digits.substr(static_cast<size_t>(point));
  size_t first = integer.find_first_not_of('0');
  integer = first == std::string::npos ? "0" : integer.substr(first);
  bool is_zero = integer == "0" && fraction.find_first_not_of('0') == std::string::npos;

  std::string out = (d < 0 && !is_zero) ? "-" : "";
  out += group ? Grouped(integer, symbols.group) : integer;
  if (decimals > 0) out += symbols.decimal + fraction;
  return out;
}

namespace {

// A number as typed, taken apart: its sign, the digits before and after
// the decimal symbol, and the exponent (capped far beyond any double).
struct NumberParts {
  bool negative = false;
  std::string integer, fraction;
  long exponent = 0;
};

std::optional<NumberParts> ScanNumber(std::string_view text, const NumberSymbols& symbols) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);

  size_t pos = 0;
  auto at = [&](std::string_view s) { return !s.empty() && text.substr(pos, s.size()) == s; };
  auto digit_at = [&](size_t p) { return p < text.size() && IsDigit(text[p]); };
  // A group symbol counts only between two digits.
  auto group_length = [&]() -> size_t {
    if (at(symbols.group) && digit_at(pos + symbols.group.size())) return symbols.group.size();
    for (const std::string& g : symbols.group_alternatives)
      if (at(g) && digit_at(pos + g.size())) return g.size();
    return 0;
  };

  NumberParts parts;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
    parts.negative = text[pos++] == '-';

  while (pos < text.size()) {
    if (at(symbols.decimal)) break;
    if (IsDigit(text[pos])) {
      parts.integer += text[pos++];
    } else if (size_t g = parts.integer.empty() ? 0 : group_length(); g > 0) {
      pos += g;
    } else {
      break;
    }
  }
  if (at(symbols.decimal)) {
    pos += symbols.decimal.size();
    while (digit_at(pos)) parts.fraction += text[pos++];
  }
  if (parts.integer.empty() && parts.fraction.empty()) return std::nullopt;

  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    bool exp_negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
      exp_negative = text[pos++] == '-';
    if (!digit_at(pos)) return std::nullopt;
    while (digit_at(pos))
      parts.exponent = std::min(parts.exponent * 10 + (text[pos++] - '0'), 100000L);
    if (exp_negative) parts.exponent = -parts.exponent;
  }
  if (pos != text.size()) return std::nullopt;
  return parts;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text, const NumberSymbols& symbols) {
  std::optional<NumberParts> parts = ScanNumber(text, symbols);
  if (!parts) return std::nullopt;
  const std::string& integer = parts->integer;
  const std::string& fraction = parts->fraction;
  // The number rewritten for from_chars.
  std::string ascii = parts->negative ? "-" : "";
  ascii += integer.empty() ? "0" : integer;
  if (!fraction.empty()) ascii += "." + fraction;
  if (parts->exponent != 0) ascii += "e" + std::to_string(parts->exponent);

  double value = 0;
  auto res = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (res.ec == std::errc::result_out_of_range) {
    // Too large or too small: the order of magnitude tells which.
    size_t lead = integer.find_first_not_of('0');
    long order = lead != std::string::npos
                     ? static_cast<long>(integer.size() - lead)
                     : -static_cast<long>(fraction.find_first_not_of('0'));
    if (order + parts->exponent > 0) return std::nullopt;
    return parts->negative ? -0.0 : 0.0;
  }
  if (res.ec != std::errc() || res.ptr != ascii.data() + ascii.size()) return std::nullopt;
  return value;
}

std::optional<DecimalValue> ParseDecimal(std::string_view text, const NumberSymbols& symbols) {
  std::optional<NumberParts> parts = ScanNumber(text, symbols);
  if (!parts) return std::nullopt;
  return MakeDecimal(parts->negative, parts->integer + parts->fraction,
                     parts->exponent - static_cast<long>(parts->fraction.size()),
                     DecimalFit::kRound);
}

}  // namespace tabrix::regional
