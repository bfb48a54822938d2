// Money amounts as text: FiyatGoster cuts to two decimals, FiyatYaz rounds
// to the regional number of decimals. Both group the whole part and take
// the decimal symbol from the regional settings.
#include <cstdlib>
#include <string>

#include "component/tabrix1.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "values/decimal_digits.h"

namespace tabrix {

namespace {

// The regional default number of decimals.
constexpr int kDefaultDecimals = 2;
// Decimals a shown price keeps.
constexpr int kPriceDecimals = 2;

}  // namespace

Variant Tabrix1::FiyatGoster(const Variant& gelenq) {
  if (IsEmptyText(gelenq)) return Variant(0);
  double amount = ToDouble(gelenq);
  const Locale& locale = Locale::Current();
  // Cut on the number's own decimal text, so 0.29 shows as 0.29, not as the
  // 0.28 its binary value would give.
  values::DecimalDigits digits = values::ToDecimalDigits(amount);
  values::FixedParts parts = values::CutToDecimals(digits, kPriceDecimals);
  // The whole part is digits only, so strtod reads it whatever the C locale.
  double whole = std::strtod(parts.whole.c_str(), nullptr);
  std::string text = digits.negative ? "-" : "";
  text += locale.FormatNumber(whole, 0, true);
  text += locale.decimal_symbol();
  text += parts.fraction;
  return Variant(text);
}

Variant Tabrix1::FiyatYaz(const Variant& Gelen) {
  // The empty amount is written the same way whatever the regional settings.
  if (IsEmptyText(Gelen)) return Variant("0.00");
  return Variant(Locale::Current().FormatNumber(ToDouble(Gelen), kDefaultDecimals, true));
}

}  // namespace tabrix
