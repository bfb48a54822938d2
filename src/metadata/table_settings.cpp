// A table becomes the current one: its key field from the schema, its list
// and search fields from the settings; and names become display texts
// through "set_replace".
#include <string>
#include <vector>

#include "component/tabrix1.h"
#include "host/adodb/connection.h"
#include "host/text/case_fold.h"
#include "host/variant_ops.h"
#include "values/folded_lists.h"
#include "values/row_address.h"

namespace tabrix {

namespace {

// Long binary values are never part of a row's address: they do not
// compare as text.
bool Comparable(long type) {
  return type != adodb::kLongVarBinary && type != adodb::kVarBinary && type != adodb::kBinary;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
  return joined;
}

}  // namespace

Variant Tabrix1::GetTableSpesific(const Variant& TabloName) {
  auto connection = OpenSiteConnection();
  VariantArray restrictions{Variant(), Variant(), Variant(ToText(TabloName))};
  auto columns = connection->OpenSchema(Variant(adodb::kSchemaColumns),
                                        Variant::Array(std::move(restrictions)));

  // The first column the schema lists is the title; all of them, in the
  // table's order, are the default list and search fields.
  std::string first;
  std::string all;
  bool any = false;
  bool any_writable = false;
  std::vector<std::string> comparable;
  while (!columns->Eof()) {
    std::string name = ConcatText(columns->Value(Variant("COLUMN_NAME")));
    if (!any) first = name;
    else all += ",";
    all += name;
    any = true;
    if (Comparable(static_cast<long>(ToLong(columns->Value(Variant("DATA_TYPE"))))))
      comparable.push_back(name);
    any_writable = any_writable ||
                   (ToLong(columns->Value(Variant("COLUMN_FLAGS"))) & adodb::kUpdatable) != 0;
    columns->MoveNext();
  }
  columns->Close();

  // A row is addressed by its whole primary key; a table without one by
  // its values; a view (no column can be written) by its first column, as
  // it is only shown.
  RowKey key;
  if (any) {
    key.columns = row_address::KeyColumnsOf(*this, ToText(TabloName));
    if (!key.columns.empty()) {
      key.kind = RowKey::Kind::kPrimaryKey;
    } else if (any_writable) {
      key.kind = RowKey::Kind::kAllValues;
      key.columns = comparable;
    } else {
      key.kind = RowKey::Kind::kView;
      key.columns = {first};
    }
  }
  connection->Close();

  std::string table = ConcatText(TabloName);
  CurrentTable = TabloName;
  TableCaption = Replacetext(TabloName);
  IdField = Variant(Joined(key.columns));
  TitleField = Variant(first);
  CurrentRowKey = std::move(key);
  // Rows that cannot be told apart take no bulk action.
  ActionList = Variant(CurrentRowKey.Writable() ? ",1," : "");
  Variant list = TableSetting(table, "_list");
  ListFields = IsEmptyText(list) ? Variant(all) : list;
  Variant search = TableSetting(table, "_search");
  SearchFields = IsEmptyText(search) ? Variant(all) : search;
  return Variant();
}

Variant Tabrix1::Replacetext(const Variant& Gelen) {
  // Each step that fails is skipped; the lookup then leaves Gelen as it is.
  Variant result = Gelen;
  const values::FoldedList* list = nullptr;
  std::string marker;
  try {
    // Folded once per text of the setting, not once per caption.
    list = &Memos.lists.Get(",", ConcatText(Setting("set_replace")), ",");
  } catch (const ScriptError&) {
  }
  try {
    marker = "," + ConcatText(Gelen) + "=";
  } catch (const ScriptError&) {
  }
  if (list != nullptr) {
    std::u32string folded_marker = text::FoldedCodePoints(marker);
    if (text::InStr(1, list->folded, folded_marker) > 0)
      result = Variant(values::SectionIgnoringCase(list->text, list->folded, folded_marker, U","));
  }
  return result;
}

}  // namespace tabrix
