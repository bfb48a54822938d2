// SQL helpers: a record id as the literal that matches the current table's
// key field, and the first value of a query for the hosting pages.
#include <string>

#include "component/tabrix1.h"
#include "host/adodb/field.h"
#include "host/decimal.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "values/sql_literal.h"

namespace tabrix {

bool IsBareKeyType(long type) {
  switch (type) {
    case adodb::kSmallInt: case adodb::kInteger: case adodb::kSingle: case adodb::kDouble:
    case adodb::kCurrency: case adodb::kIDispatch: case adodb::kBoolean: case adodb::kDecimal:
    case adodb::kUnsignedTinyInt: case adodb::kBigInt: case adodb::kGUID: case adodb::kBinary:
    case adodb::kNumeric:
      return true;
    default:
      return false;
  }
}

std::optional<Variant> TypedNumber(const Variant& value) {
  if (!value.IsString()) return std::nullopt;
  std::optional<DecimalValue> typed = Locale::Current().ParseDecimal(value.string());
  if (!typed) return std::nullopt;
  std::optional<std::int64_t> whole = DecimalToScaledLong(*typed, 0);
  if (whole && CompareDecimals(DecimalFromLong(*whole), *typed) == 0) return Variant(*whole);
  return Variant(*typed);
}

std::string SqlLiteralText(const Variant& literal) {
  return literal.IsNumericType() ? SqlNumberText(literal) : ConcatText(literal);
}

Variant Tabrix1::IdSQL(const Variant& FValue) {
  long type = static_cast<long>(ToLong(GetFieldType(IdField)));
  if (!IsBareKeyType(type)) return Variant("'" + ConcatText(CheckStr(FValue)) + "'");
  // Every digit typed, so a 64-bit key finds its row exactly.
  if (std::optional<Variant> typed = TypedNumber(FValue)) return *typed;
  return CheckNum(FValue);
}

Variant Tabrix1::SqlSonucDns(const Variant& SqlStr, const Variant& Tip, const Variant& DnsT) {
  auto rs = NewRecordset();
  rs->Open(SqlStr, DnsT, Variant(adodb::kStatic), Variant(adodb::kReadOnly));
  Variant value = rs->Eof() ? Variant("") : rs->Value(Variant(0));
  rs->Close();

  bool as_number = Equals(Tip, Variant(1));
  bool formatted = Equals(Tip, Variant(3));
  if (!as_number && !formatted) return value;
  Variant number = !IsEmptyText(value) && IsNumeric(value) ? value : Variant("0");
  if (as_number) return number;
  return FiyatYaz(number);
}

Variant Tabrix1::SqlSonuc(const Variant& SqlStr, const Variant& Tip) {
  return SqlSonucDns(SqlStr, Tip, Setting("set_dns"));
}

}  // namespace tabrix
