// Dates as text for people: "05 March 2004, 09:07" and "05 March 2004",
// with the full month name of the regional language.
#include <string>

#include "component/tabrix1.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

// Day, month name and year, and the hour and minute when `with_time`.
std::string DateWords(Tabrix1& object, const Variant& value, bool with_time) {
  if (value.IsNull()) RaiseError(kErrInvalidNull);
  CivilTime t = SplitDate(ToDate(value));
  std::string text = ConcatText(object.IkiliYaz(Variant(t.day)));
  text += " ";
  text += Locale::Current().MonthName(t.month, false);
  text += " ";
  text += std::to_string(t.year);
  if (with_time) {
    text += ", ";
    text += ConcatText(object.IkiliYaz(Variant(t.hour)));
    text += ":";
    text += ConcatText(object.IkiliYaz(Variant(t.minute)));
  }
  return text;
}

}  // namespace

Variant Tabrix1::TarihYaz(const Variant& Gelen) { return Variant(DateWords(*this, Gelen, true)); }

Variant Tabrix1::TarihYazB(const Variant& Gelen) { return TarihYaz(Gelen); }

Variant Tabrix1::TarihYazK(const Variant& Gelen) {
  return Variant(DateWords(*this, Gelen, false));
}

}  // namespace tabrix
