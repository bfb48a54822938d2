// Bulk action definitions: "set_action" + N holds "name,letter,ALL" or
// "name,letter,Table1,Table2,...". The fields are cut at every "," and never
// trimmed.
#include <string>
#include <vector>

#include "component/numbered_settings.h"
#include "component/tabrix1.h"
#include "host/text/split.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

// The key of action `number` ("set_action" + the number as given: a number
// or its decimal text).
std::string ActionKey(const Variant& number) { return "set_action" + ConcatText(number); }

}  // namespace

Variant Tabrix1::ActionThis(const Variant& Ano, const Variant& TName) {
  std::string key = ActionKey(Ano);
  std::string whole = ToText(Setting(key));
  std::vector<std::string> fields = text::Split(whole, ",");
  const std::string& scope = RequirePosition(fields, 2, key, "tables (field 2)");
  const std::string& letter = RequirePosition(fields, 1, key, "permission letter (field 1)");
  // The table is searched in the whole definition, name and letter included.
  std::string table = ConcatText(TName);
  bool applies = scope == "ALL" || values::ListHolds(whole, table, TableHasCaseTwin(table));
  // The permission is asked whether or not the table test passed.
  bool permitted = YetkiKontrol(TName, Variant(letter)).boolean();
  return Variant(applies && permitted);
}

Variant Tabrix1::ActionName(const Variant& Ano) {
  std::string key = ActionKey(Ano);
  return Variant(RequirePosition(text::Split(ToText(Setting(key)), ","), 0, key, "name (field 0)"));
}

}  // namespace tabrix
