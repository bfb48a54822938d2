#include "site/pages/field_kinds.h"

#include <nlohmann/json.hpp>

#include "host/adodb/field.h"
#include "host/locale/boolean_words.h"
#include "host/locale/locale.h"
#include "host/scripting/dictionary.h"
#include "host/variant_ops.h"

namespace tabrix::site {

std::string FieldKindsScript(Tabrix1& page, std::string_view html) {
  // Only text boxes are turned into choices.
  if (html.find("<input type=\"textbox\"") == std::string_view::npos) return "";
  // The list page has read its fields; the forms read the record's
  // recordset, so theirs are read here (one row, as the list page does).
  if (!page.FieldNames.IsObject() || !page.FieldTypes.IsObject()) {
    if (IsEmptyText(page.CurrentTable)) return "";
    page.GetFieldList(page.CurrentTable);
  }
  nlohmann::json yes_no = nlohmann::json::array();
  const auto& names = ObjectAs<scripting::Dictionary>(page.FieldNames);
  const auto& types = ObjectAs<scripting::Dictionary>(page.FieldTypes);
  for (long i = 1; i <= names.Count(); ++i) {
    Variant type = types.Get(Variant(i));
    if (IsNumeric(type) && ToLong(type) == adodb::kBoolean)
      yes_no.push_back(ConcatText(names.Get(Variant(i))));
  }
  if (yes_no.empty()) return "";
  // The words a stored yes/no shows as under the locale, so the script can
  // tell which choice a text box held.
  const std::string& tag = Locale::Current().tag();
  regional::BooleanWords words = regional::BooleanWordsFor(tag.substr(0, tag.find('-')));
  // "<" written as \u003c, so no name can end the script element.
  nlohmann::json kinds{{"yesno", yes_no}, {"false_word", words.false_word}};
  std::string json = kinds.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::string safe;
  for (char c : json) safe += c == '<' ? std::string("\\u003c") : std::string(1, c);
  return "<script type=\"application/json\" id=\"tabrix-fields\">" + safe + "</script>";
}

}  // namespace tabrix::site
