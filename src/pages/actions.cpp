// Bulk action definitions: "set_action" + N holds "name,letter,ALL" or
// "name,letter,Table1,Table2,...". The fields are cut at every "," and never
// trimmed.
#include <string>
#include <vector>

#include "component/tabrix1.h"
#include "host/text/case_fold.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

// The fields of action `number`'s definition. An empty or missing
// definition has no fields at all; Null cannot be cut (94).
std::vector<std::string> ActionFields(const Tabrix1& object, const Variant& number,
                                      std::string* whole = nullptr) {
  Variant value = object.Setting("set_action" + ConcatText(number));
  std::string text = ToText(value);
  if (whole != nullptr) *whole = text;
  std::vector<std::string> fields;
  if (text.empty()) return fields;
  size_t start = 0;
  for (size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1)
    fields.push_back(text.substr(start, comma - start));
  fields.push_back(text.substr(start));
  return fields;
}

const std::string& Field(const std::vector<std::string>& fields, size_t index,
                         const Variant& number) {
  if (index >= fields.size()) {
    RaiseError(kErrSubscript, "action " + ConcatText(number) + " has no field " +
                                  std::to_string(index) + " in its definition");
  }
  return fields[index];
}

}  // namespace

Variant Tabrix1::ActionThis(const Variant& Ano, const Variant& TName) {
  std::string whole;
  std::vector<std::string> fields = ActionFields(*this, Ano, &whole);
  const std::string& scope = Field(fields, 2, Ano);
  const std::string& letter = Field(fields, 1, Ano);
  // The table is searched in the whole definition, name and letter included.
  bool applies =
      scope == "ALL" || text::InStr(1, text::FoldedCodePoints("," + whole + ","),
                                    text::FoldedCodePoints("," + ConcatText(TName) + ",")) > 0;
  // The permission is asked whether or not the table test passed.
  bool permitted = YetkiKontrol(TName, Variant(letter)).boolean();
  return Variant(applies && permitted);
}

Variant Tabrix1::ActionName(const Variant& Ano) {
  return Variant(Field(ActionFields(*this, Ano), 0, Ano));
}

}  // namespace tabrix
