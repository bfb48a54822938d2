// Small value helpers: text made safe for a quoted SQL literal, a default
// for an empty value, values forced to numbers, two-digit date parts and a
// field of the page recordset.
#include <optional>
#include <string>

#include "component/tabrix1.h"
#include "host/adodb/field.h"
#include "host/adodb/recordset.h"
#include "host/variant_ops.h"
#include "values/decimal_digits.h"

namespace tabrix {

namespace {

// Every occurrence of `from` in `text` replaced by `to`, left to right.
std::string ReplaceAll(const std::string& text, char from, const std::string& to) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == from) out += to;
    else out.push_back(c);
  }
  return out;
}

}  // namespace

Variant Tabrix1::CheckStr(const Variant& Gelen) {
  // Apostrophes close an SQL literal and bars are the dialect's own escape,
  // so both are doubled.
  std::string text = ToText(Gelen);
  return Variant(ReplaceAll(ReplaceAll(text, '\'', "''"), '|', "||"));
}

Variant Tabrix1::IfNull(const Variant& Gelen, const Variant& Deger) {
  return IsEmptyText(Gelen) ? Deger : Gelen;
}

Variant Tabrix1::CheckNum(const Variant& Gelen) {
  if (!IsEmptyText(Gelen) && IsNumeric(Gelen)) return Variant(ToDouble(Gelen));
  return Variant(0);
}

Variant Tabrix1::RoundNull(const Variant& Gelen, const Variant& par) {
  Variant number = CheckNum(Gelen);
  std::int32_t decimals = ToInt32(par);
  if (decimals < 0) RaiseError(kErrInvalidArgument, "the number of decimals must not be negative");
  if (number.type() != VarType::Double) return number;

  // Rounded on the number's decimal digits, so 2.675 is a half as written.
  double value = number.double_value();
  values::DecimalDigits digits = values::ToDecimalDigits(value);
  values::DecimalDigits rounded = values::RoundHalfEven(digits, decimals);
  if (rounded.digits == digits.digits && rounded.point == digits.point) return number;
  return Variant(values::ToDouble(rounded));
}

Variant Tabrix1::IkiliYaz(const Variant& gelenSayi) {
  std::optional<int> order = Compare(gelenSayi, Variant(9));
  if (order && *order > 0) return gelenSayi;
  return Variant("0" + ConcatText(gelenSayi));
}

Variant Tabrix1::RsValue(const Variant& FName) {
  std::shared_ptr<adodb::Field> field = ObjectAs<adodb::Recordset>(Rs).fields().Item(FName);
  // Binary contents such as pictures never reach the pages as values.
  if (field->Type() == adodb::kLongVarBinary) return Variant("");
  return field->Value();
}

}  // namespace tabrix
