#include "host/adodb/postgres/pg_types.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/adodb/column_attributes.h"
#include "host/adodb/field.h"
#include "host/decimal.h"
#include "host/variant_ops.h"

namespace tabrix::adodb::postgres {

namespace {

// Type OIDs, fixed in every PostgreSQL release.
enum : Oid {
  kBoolOid = 16, kByteaOid = 17, kCharOid = 18, kNameOid = 19, kInt8Oid = 20, kInt2Oid = 21,
  kInt4Oid = 23, kTextOid = 25,
  kFloat4Oid = 700, kFloat8Oid = 701, kMoneyOid = 790, kBpcharOid = 1042, kVarcharOid = 1043,
  kDateOid = 1082, kTimestampOid = 1114, kTimestamptzOid = 1184, kNumericOid = 1700,
  kUuidOid = 2950,
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// bytea's hex output, "\x0102".
std::optional<Bytes> ReadHexBytes(std::string_view text) {
  if (text.size() < 2 || text[0] != '\\' || text[1] != 'x' || text.size() % 2 != 0)
    return std::nullopt;
  Bytes bytes;
  bytes.reserve((text.size() - 2) / 2);
  for (size_t i = 2; i < text.size(); i += 2) {
    int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return bytes;
}

// money's text with lc_monetary=C: "-$1,234.56".
std::optional<CurrencyValue> ReadMoney(std::string_view text) {
  std::string plain;
  for (char c : text)
    if ((c >= '0' && c <= '9') || c == '.' || c == '-') plain += c;
  std::optional<DecimalValue> decimal = ParseInvariantDecimal(plain, DecimalFit::kExact);
  if (!decimal) return std::nullopt;
  std::optional<std::int64_t> scaled = DecimalToScaledLong(*decimal, 4);
  if (!scaled) return std::nullopt;
  return CurrencyValue{*scaled};
}

Variant ReadDouble(const std::string& text) {
  return Variant(std::strtod(text.c_str(), nullptr));
}

}  // namespace

long TypeFromOid(Oid oid) {
  switch (oid) {
    case kInt2Oid: return kSmallInt;
    case kInt4Oid: return kInteger;
    case kInt8Oid: return kBigInt;
    case kBoolOid: return kBoolean;
    case kFloat4Oid: return kSingle;
    case kFloat8Oid: return kDouble;
    case kNumericOid: return kNumeric;
    case kMoneyOid: return kCurrency;
    case kDateOid: return kDate;
    case kTimestampOid:
    case kTimestamptzOid: return kDBTimeStamp;
    case kBpcharOid: return kWChar;
    case kByteaOid: return kLongVarBinary;
    case kUuidOid: return kGUID;
    default: return kVarWChar;
  }
}

sql::ColumnKind KindFromOid(Oid oid) {
  switch (oid) {
    case kBoolOid: return sql::ColumnKind::kBoolean;
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kFloat4Oid:
    case kFloat8Oid:
    case kNumericOid: return sql::ColumnKind::kNumber;
    case kMoneyOid: return sql::ColumnKind::kMoney;
    case kDateOid:
    case kTimestampOid:
    case kTimestamptzOid: return sql::ColumnKind::kDate;
    case kTextOid:
    case kVarcharOid:
    case kBpcharOid:
    case kCharOid:
    case kNameOid: return sql::ColumnKind::kText;
    default: return sql::ColumnKind::kOther;
  }
}

long DefinedSizeFromOid(Oid oid, int typmod) {
  if ((oid == kVarcharOid || oid == kBpcharOid) && typmod > 4) return typmod - 4;
  return 0;
}

Variant ReadValue(std::string_view text, Oid oid) {
  std::string owned(text);
  switch (oid) {
    case kBoolOid: return Variant(text == "t");
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid: return Variant(static_cast<long long>(std::strtoll(owned.c_str(), nullptr, 10)));
    case kFloat4Oid:
    case kFloat8Oid: return ReadDouble(owned);
    case kNumericOid:
      if (auto decimal = ParseInvariantDecimal(text, DecimalFit::kExact)) return Variant(*decimal);
      return ReadDouble(owned);  // NaN, Infinity, or more digits than a Decimal holds
    case kMoneyOid:
      if (auto money = ReadMoney(text)) return Variant(*money);
      return Variant(text);
    case kDateOid:
    case kTimestampOid:
    case kTimestamptzOid:
      if (auto date = ParseIsoDate(text)) return Variant(*date);
      return Variant(text);
    case kByteaOid:
      if (auto bytes = ReadHexBytes(text)) return Variant::Binary(std::move(*bytes));
      return Variant(text);
    default: return Variant(text);
  }
}

std::optional<std::string> ParameterText(const Variant& value) {
  switch (value.type()) {
    case VarType::Empty:
    case VarType::Null: return std::nullopt;
    case VarType::Boolean: return std::string(value.boolean() ? "1" : "0");
    case VarType::Long: return std::to_string(value.long_value());
    case VarType::Double: {
      double d = value.double_value();
      if (std::isnan(d)) return std::string("NaN");
      if (std::isinf(d)) return std::string(d > 0 ? "Infinity" : "-Infinity");
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.17g", d);
      return std::string(buffer);
    }
    case VarType::Currency:
      return DecimalText(DecimalFromCurrency(value.currency()), ".");
    case VarType::Decimal: return DecimalText(value.decimal(), ".");
    case VarType::Date: return IsoDateText(value.date());
    case VarType::String:
      if (value.string().find('\0') != std::string::npos)
        RaiseError(kErrAdoArguments,
                   "a text value holds a NUL byte, which PostgreSQL cannot store");
      return value.string();
    case VarType::Binary: {
      static const char kHex[] = "0123456789abcdef";
      const Bytes& bytes = value.binary();
      std::string text = "\\x";
      text.reserve(2 + bytes.size() * 2);
      for (std::uint8_t b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
      }
      return text;
    }
    default:
      RaiseError(kErrTypeMismatch,
                 "a " + std::string(value.TypeName()) + " cannot be stored in a column");
  }
}

}  // namespace tabrix::adodb::postgres
