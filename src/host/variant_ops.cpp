#include "host/variant_ops.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "host/decimal.h"
#include "host/locale/locale.h"
#include "host/locale/number_text.h"

namespace tabrix {

namespace {

// ---- Calendar: proleptic Gregorian, counted in days from 1899-12-30. ----

constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
constexpr std::int64_t FloorMod(std::int64_t a, std::int64_t b) { return a - FloorDiv(a, b) * b; }

// Days since 1970-01-01 of a civil date (month 1..12).
constexpr std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  std::int64_t era = FloorDiv(y, 400);
  std::int64_t yoe = y - era * 400;
  std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  std::int64_t era = FloorDiv(z, 146097);
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

constexpr std::int64_t kEpoch = DaysFromCivil(1899, 12, 30);
constexpr std::int64_t kMinDay = DaysFromCivil(100, 1, 1) - kEpoch;
constexpr std::int64_t kMaxDay = DaysFromCivil(9999, 12, 31) - kEpoch;
static_assert(kMinDay == -657434 && kMaxDay == 2958465);
constexpr std::int64_t kSecondsPerDay = 86400;

// ---- Numbers ----

constexpr double kTwoTo63 = 9223372036854775808.0;
// The largest currency amount, in whole units.
constexpr std::int64_t kMaxCurrencyUnits = std::numeric_limits<std::int64_t>::max() / 10000;

[[noreturn]] void RaiseTypeMismatch(const Variant& v, const char* wanted) {
  RaiseError(kErrTypeMismatch,
             "cannot convert " + std::string(v.TypeName()) + " to " + std::string(wanted));
}

// Text to a number by the regional numeric test, or 13.
double TextToDouble(const std::string& text) {
  std::optional<double> d = Locale::Current().ParseNumber(text);
  if (!d) RaiseError(kErrTypeMismatch, "\"" + text + "\" is not a number");
  return *d;
}

// Rounds half to even, as the runtime's whole-number conversions do.
double RoundHalfEven(double d) {
  double r = std::round(d);  // half away from zero
  if (std::fabs(d - std::trunc(d)) == 0.5) r = 2.0 * std::round(d / 2.0);
  return r;
}

template <class T>
int Sign3(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

bool IsEmptyText(const Variant& v) {
  return v.IsEmpty() || v.IsNull() || (v.IsString() && v.string().empty());
}

std::string ToText(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return "";
    case VarType::Null: RaiseError(kErrInvalidNull);
    case VarType::Boolean: return v.boolean() ? "True" : "False";
    case VarType::Long: return std::to_string(v.long_value());
    case VarType::Double: return Locale::Current().DoubleText(v.double_value());
    case VarType::Currency: return Locale::Current().CurrencyText(v.currency());
    case VarType::Decimal: return DecimalText(v.decimal(), Locale::Current().decimal_symbol());
    case VarType::Date: return Locale::Current().DateText(v.date());
    case VarType::String: return v.string();
    // The runtime turned a byte array into text byte for byte.
    case VarType::Binary: return std::string(v.binary().begin(), v.binary().end());
    case VarType::Array:
    case VarType::Object: break;
  }
  RaiseTypeMismatch(v, "String");
}

std::string ConcatText(const Variant& v) { return v.IsNull() ? std::string() : ToText(v); }

double ToDouble(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return 0;
    case VarType::Null: RaiseError(kErrInvalidNull);
    case VarType::Boolean: return v.boolean() ? -1 : 0;
    case VarType::Long: return static_cast<double>(v.long_value());
    case VarType::Double: return v.double_value();
    case VarType::Currency: return static_cast<double>(v.currency().scaled) / 10000.0;
    case VarType::Decimal: return DecimalToDouble(v.decimal());
    case VarType::Date: return v.date().serial;
    case VarType::String: return TextToDouble(v.string());
    default: break;
  }
  RaiseTypeMismatch(v, "Double");
}

std::int64_t ToLong(const Variant& v) {
  switch (v.type()) {
    case VarType::Long: return v.long_value();
    case VarType::Boolean: return v.boolean() ? -1 : 0;
    case VarType::Currency: {
      // Whole units, half to even, without a detour through double.
      std::int64_t scaled = v.currency().scaled;
      std::int64_t units = scaled / 10000, rest = scaled % 10000;
      if (rest > 5000 || (rest == 5000 && units % 2 != 0)) ++units;
      if (rest < -5000 || (rest == -5000 && units % 2 != 0)) --units;
      return units;
    }
    case VarType::Decimal: {
      std::optional<std::int64_t> n = DecimalToScaledLong(v.decimal(), 0);
      if (!n) RaiseError(kErrOverflow);
      return *n;
    }
    default: break;
  }
  double r = RoundHalfEven(ToDouble(v));
  if (!(r >= -kTwoTo63 && r < kTwoTo63)) RaiseError(kErrOverflow);
  return static_cast<std::int64_t>(r);
}

std::int32_t ToInt32(const Variant& v) {
  std::int64_t n = ToLong(v);
  if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max())
    RaiseError(kErrOverflow);
  return static_cast<std::int32_t>(n);
}

bool ToBool(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return false;
    case VarType::Null: RaiseError(kErrInvalidNull);
    case VarType::Boolean: return v.boolean();
    case VarType::Long: return v.long_value() != 0;
    case VarType::Currency: return v.currency().scaled != 0;
    case VarType::Decimal: return !IsZero(v.decimal());
    case VarType::Double:
    case VarType::Date: return ToDouble(v) != 0;
    case VarType::String: {
      if (EqualsIgnoreCase(v.string(), "True")) return true;
      if (EqualsIgnoreCase(v.string(), "False")) return false;
      std::optional<double> d = Locale::Current().ParseNumber(v.string());
      if (!d) RaiseTypeMismatch(v, "Boolean");
      return *d != 0;
    }
    default: break;
  }
  RaiseTypeMismatch(v, "Boolean");
}

DateValue ToDate(const Variant& v) {
  switch (v.type()) {
    case VarType::Date: return v.date();
    case VarType::Null: RaiseError(kErrInvalidNull);
    case VarType::String: {
      std::optional<DateValue> d = Locale::Current().ParseDate(v.string());
      if (!d) RaiseError(kErrTypeMismatch, "\"" + v.string() + "\" is not a date");
      return *d;
    }
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Decimal: {
      double serial = ToDouble(v);
      if (!(serial > static_cast<double>(kMinDay - 1) && serial < static_cast<double>(kMaxDay + 1)))
        RaiseError(kErrOverflow, "no date has the serial " + SqlNumberText(v));
      return DateValue{serial};
    }
    default: break;
  }
  RaiseTypeMismatch(v, "Date");
}

CurrencyValue ToCurrency(const Variant& v) {
  switch (v.type()) {
    case VarType::Currency: return v.currency();
    case VarType::Long: {
      std::int64_t n = v.long_value();
      if (n > kMaxCurrencyUnits || n < -kMaxCurrencyUnits) RaiseError(kErrOverflow);
      return CurrencyValue{n * 10000};
    }
    case VarType::Decimal: {
      std::optional<std::int64_t> scaled = DecimalToScaledLong(v.decimal(), 4);
      if (!scaled) RaiseError(kErrOverflow);
      return CurrencyValue{*scaled};
    }
    default: break;
  }
  double scaled = RoundHalfEven(ToDouble(v) * 10000.0);
  if (!(scaled >= -kTwoTo63 && scaled < kTwoTo63)) RaiseError(kErrOverflow);
  return CurrencyValue{static_cast<std::int64_t>(scaled)};
}

bool IsNumeric(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Decimal: return true;
    case VarType::String: return Locale::Current().ParseNumber(v.string()).has_value();
    default: return false;  // Null, Date, Binary, Array, Object
  }
}

bool IsDate(const Variant& v) {
  if (v.type() == VarType::Date) return true;
  return v.IsString() && Locale::Current().ParseDate(v.string()).has_value();
}

std::string SqlNumberText(const Variant& v) {
  switch (v.type()) {
    case VarType::Long: return std::to_string(v.long_value());
    case VarType::Currency:
      return regional::CurrencyText(v.currency(), regional::InvariantSymbols());
    case VarType::Decimal: return DecimalText(v.decimal(), ".");
    default: return regional::DoubleText(ToDouble(v), regional::InvariantSymbols());
  }
}

std::optional<int> Compare(const Variant& a, const Variant& b, bool ignore_case) {
  if (a.IsNull() || b.IsNull()) return std::nullopt;
  for (const Variant* v : {&a, &b}) {
    VarType t = v->type();
    if (t == VarType::Binary || t == VarType::Array || t == VarType::Object)
      RaiseTypeMismatch(*v, "a comparable value");
  }
  if (a.IsString() || b.IsString()) {
    // Empty stands for "" against text; any number is less than any text.
    if (!a.IsString() && !a.IsEmpty()) return -1;
    if (!b.IsString() && !b.IsEmpty()) return 1;
    const std::string empty;
    const std::string& x = a.IsString() ? a.string() : empty;
    const std::string& y = b.IsString() ? b.string() : empty;
    int c = ignore_case ? FoldCase(x).compare(FoldCase(y)) : x.compare(y);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  // Numbers (Empty as 0), exactly where both sides are whole or money.
  auto whole = [](const Variant& v) { return v.IsEmpty() || v.type() == VarType::Long; };
  if (whole(a) && whole(b))
    return Sign3(a.IsEmpty() ? 0 : a.long_value(), b.IsEmpty() ? 0 : b.long_value());
  if (a.type() == VarType::Currency && b.type() == VarType::Currency)
    return Sign3(a.currency().scaled, b.currency().scaled);
  if (a.type() == VarType::Decimal || b.type() == VarType::Decimal) {
    // Exact against whole numbers, money and decimals; against a Double or
    // a Date both sides are doubles, as the other side already is.
    auto exact = [](const Variant& v) -> std::optional<DecimalValue> {
      switch (v.type()) {
        case VarType::Empty: return DecimalFromLong(0);
        case VarType::Boolean:
        case VarType::Long: return DecimalFromLong(ToLong(v));
        case VarType::Currency: return DecimalFromCurrency(v.currency());
        case VarType::Decimal: return v.decimal();
        default: return std::nullopt;
      }
    };
    std::optional<DecimalValue> x = exact(a), y = exact(b);
    if (x && y) return CompareDecimals(*x, *y);
  }
  return Sign3(ToDouble(a), ToDouble(b));
}

bool Equals(const Variant& a, const Variant& b, bool ignore_case) {
  std::optional<int> c = Compare(a, b, ignore_case);
  return c.has_value() && *c == 0;
}

DateValue MakeDate(const CivilTime& t) {
  std::int64_t month0 = static_cast<std::int64_t>(t.month) - 1;
  std::int64_t year = t.year + FloorDiv(month0, 12);
  int month = static_cast<int>(FloorMod(month0, 12)) + 1;
  std::int64_t seconds = std::int64_t{t.hour} * 3600 + std::int64_t{t.minute} * 60 + t.second;
  // Out-of-range fields carry over: the 32nd of January is the 1st of February.
  std::int64_t day = DaysFromCivil(year, month, 1) - kEpoch + (t.day - 1) +
                     FloorDiv(seconds, kSecondsPerDay);
  seconds = FloorMod(seconds, kSecondsPerDay);
  if (day < kMinDay || day > kMaxDay) RaiseError(kErrInvalidArgument, "date out of range");
  // Before the epoch the fraction still counts forward from midnight.
  double fraction = static_cast<double>(seconds) / kSecondsPerDay;
  double whole = static_cast<double>(day);
  return DateValue{day >= 0 ? whole + fraction : whole - fraction};
}

CivilTime SplitDate(DateValue d) {
  double serial = d.serial;
  if (!(serial > static_cast<double>(kMinDay - 1) && serial < static_cast<double>(kMaxDay + 1)))
    RaiseError(kErrInvalidArgument, "date out of range");
  double whole = std::trunc(serial);
  std::int64_t day = static_cast<std::int64_t>(whole);
  std::int64_t seconds = std::llround(std::fabs(serial - whole) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    // Rounded up to the next midnight, which is the next calendar day even
    // before the epoch.
    seconds -= kSecondsPerDay;
    ++day;
    if (day > kMaxDay) day = kMaxDay, seconds = kSecondsPerDay - 1;
  }
  CivilTime t;
  CivilFromDays(day + kEpoch, t.year, t.month, t.day);
  t.hour = static_cast<int>(seconds / 3600);
  t.minute = static_cast<int>(seconds / 60 % 60);
  t.second = static_cast<int>(seconds % 60);
  return t;
}

bool IsValidCivilDate(int year, int month, int day) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string IsoDateText(DateValue d) {
  CivilTime t = SplitDate(d);
  char buf[32];
  if (t.hour == 0 && t.minute == 0 && t.second == 0)
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
  else
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
  return buf;
}

}  // namespace tabrix
