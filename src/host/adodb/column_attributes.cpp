#include "host/adodb/column_attributes.h"

#include <cmath>

#include "host/adodb/field.h"
#include "host/variant_ops.h"

namespace tabrix::adodb {

namespace {

bool IsFixedLength(long type) {
  switch (type) {
    case kSmallInt:
    case kInteger:
    case kSingle:
    case kDouble:
    case kCurrency:
    case kDate:
    case kBoolean:
    case kDecimal:
    case kTinyInt:
    case kUnsignedTinyInt:
    case kUnsignedSmallInt:
    case kUnsignedInt:
    case kBigInt:
    case kUnsignedBigInt:
    case kGUID:
    case kChar:
    case kWChar:
    case kNumeric:
    case kDBDate:
    case kDBTime:
    case kDBTimeStamp: return true;
    default: return false;
  }
}

// Reads exactly `digits` digits at `pos` (or 1..digits when `at_least_one`).
std::optional<int> Digits(std::string_view text, size_t& pos, size_t min_digits,
                          size_t max_digits) {
  size_t start = pos;
  int value = 0;
  while (pos < text.size() && pos - start < max_digits && text[pos] >= '0' && text[pos] <= '9')
    value = value * 10 + (text[pos++] - '0');
  if (pos - start < min_digits) return std::nullopt;
  return value;
}

}  // namespace

long ColumnAttributes(long type, bool writable, bool nullable) {
  long bits = 0;
  if (writable) bits |= kUpdatable | kUnknownUpdatable;
  if (nullable) bits |= kIsNullable | kMayBeNull;
  if (IsFixedLength(type)) bits |= kFixed;
  if (type == kLongVarChar || type == kLongVarWChar || type == kLongVarBinary) bits |= kLong;
  return bits;
}

bool IsDateType(long type) { return type == kDate || type == kDBDate || type == kDBTimeStamp; }

std::optional<DateValue> ParseIsoDate(std::string_view text) {
  size_t pos = 0;
  auto year = Digits(text, pos, 4, 4);
  if (!year || pos >= text.size() || text[pos++] != '-') return std::nullopt;
  auto month = Digits(text, pos, 1, 2);
  if (!month || pos >= text.size() || text[pos++] != '-') return std::nullopt;
  auto day = Digits(text, pos, 1, 2);
  if (!day || !IsValidCivilDate(*year, *month, *day)) return std::nullopt;
  CivilTime civil{*year, *month, *day, 0, 0, 0};
  double fraction_seconds = 0;
  if (pos < text.size() && (text[pos] == ' ' || text[pos] == 'T')) {
    ++pos;
    auto hour = Digits(text, pos, 1, 2);
    if (!hour || pos >= text.size() || text[pos++] != ':') return std::nullopt;
    auto minute = Digits(text, pos, 2, 2);
    if (!minute) return std::nullopt;
    int second = 0;
    if (pos < text.size() && text[pos] == ':') {
      ++pos;
      auto s = Digits(text, pos, 2, 2);
      if (!s) return std::nullopt;
      second = *s;
      if (pos < text.size() && text[pos] == '.') {
        ++pos;
        double scale = 0.1;
        size_t start = pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
          fraction_seconds += (text[pos++] - '0') * scale;
          scale /= 10;
        }
        if (pos == start) return std::nullopt;
      }
    }
    if (*hour > 23 || *minute > 59 || second > 59) return std::nullopt;
    civil.hour = *hour, civil.minute = *minute, civil.second = second;
  }
  if (pos < text.size() && text[pos] == 'Z') ++pos;
  if (pos != text.size()) return std::nullopt;
  DateValue date = MakeDate(civil);
  // Before 1899-12-30 the serial is negative while its fraction still runs
  // forward through the day, so the extra seconds move it away from zero.
  if (fraction_seconds > 0)
    date.serial += (date.serial < 0 ? -fraction_seconds : fraction_seconds) / 86400.0;
  return date;
}

}  // namespace tabrix::adodb
