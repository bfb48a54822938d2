// The list-string utilities: the settings carry their lists as plain
// strings ("a,b,c", "name=Caption,...", "Customers[VAU],Orders[V]"), and
// these three methods read them with exact matching rules that the
// configuration formats rest on.
#include <string>

#include "component/tabrix1.h"
#include "host/text/case_fold.h"
#include "host/text/split.h"
#include "host/text/utf8.h"
#include "host/variant_ops.h"
#include "values/case_twins.h"
#include "values/folded_lists.h"

namespace tabrix {

namespace {

// Text of a string argument that must not be Null.
std::string RequiredText(const Variant& v) {
  if (v.IsNull()) RaiseError(kErrInvalidNull);
  return ToText(v);
}

}  // namespace

Variant Tabrix1::GetThis(const Variant& Ana, const Variant& From, const Variant& Bolum1,
                         const Variant& Bolum2) {
  std::int32_t from = ToInt32(From);
  if (from < 1) RaiseError(kErrInvalidArgument, "the search must start at position 1 or later");
  std::string ana = RequiredText(Ana);
  std::string start_marker = RequiredText(Bolum1);
  // A Null end marker is never found, so the result is "".
  if (Bolum2.IsNull()) return Variant("");
  std::string end_marker = ToText(Bolum2);

  return Variant(values::SectionIgnoringCase(ana, text::FoldedCodePoints(ana),
                                             text::FoldedCodePoints(start_marker),
                                             text::FoldedCodePoints(end_marker),
                                             static_cast<size_t>(from)));
}

Variant Tabrix1::IcindeVarmi(const Variant& Gelen1, const Variant& Gelen2) {
  // Whole-item membership, case folded.
  return Variant(values::ListHolds(ConcatText(Gelen1), ConcatText(Gelen2), false));
}

Variant Tabrix1::GetBols(const Variant& AnaStr, const Variant& BolStr, const Variant& Nom) {
  std::string whole = RequiredText(AnaStr);
  std::string delimiter = RequiredText(BolStr);
  std::int32_t nom = ToInt32(Nom);

  std::vector<std::string> parts = text::Split(whole, delimiter);
  // A part number past the end gives ""; a negative one is out of range.
  if (nom < 0) RaiseError(kErrSubscript, "part number " + std::to_string(nom));
  if (static_cast<size_t>(nom) >= parts.size()) return Variant("");
  return Variant(parts[static_cast<size_t>(nom)]);
}

}  // namespace tabrix
