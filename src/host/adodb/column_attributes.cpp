#include "host/adodb/column_attributes.h"

#include <cmath>

#include "host/adodb/field.h"
#include "host/locale/date_text.h"
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
  std::optional<std::optional<DateValue>> date = regional::ReadIsoDate(text);
  return date ? *date : std::nullopt;
}

}  // namespace tabrix::adodb
