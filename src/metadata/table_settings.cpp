// A table becomes the current one: its key field from the schema, its list
// and search fields from the settings; and names become display texts
// through "set_replace".
#include <string>

#include "component/tabrix1.h"
#include "host/adodb/connection.h"
#include "host/text/case_fold.h"
#include "host/variant_ops.h"

namespace tabrix {

Variant Tabrix1::GetTableSpesific(const Variant& TabloName) {
  auto connection = ObjectRefAs<adodb::Connection>(ServerObject().CreateObject("adodb.connection"));
  connection->Open(Setting("set_dns"));
  VariantArray restrictions{Variant(), Variant(), Variant(ToText(TabloName))};
  auto columns = connection->OpenSchema(Variant(adodb::kSchemaColumns),
                                        Variant::Array(std::move(restrictions)));

  // The first column the schema lists is the key; all of them, in the
  // table's order, are the default list and search fields.
  std::string first;
  std::string all;
  bool any = false;
  while (!columns->Eof()) {
    std::string name = ConcatText(columns->Value(Variant("COLUMN_NAME")));
    if (!any) first = name;
    else all += ",";
    all += name;
    any = true;
    columns->MoveNext();
  }
  columns->Close();
  connection->Close();

  std::string table = ConcatText(TabloName);
  CurrentTable = TabloName;
  TableCaption = Replacetext(TabloName);
  IdField = Variant(first);
  TitleField = Variant(first);
  ActionList = Variant(",1,");
  Variant list = Setting("set_" + table + "_list");
  ListFields = IsEmptyText(list) ? Variant(all) : list;
  Variant search = Setting("set_" + table + "_search");
  SearchFields = IsEmptyText(search) ? Variant(all) : search;
  return Variant();
}

Variant Tabrix1::Replacetext(const Variant& Gelen) {
  // Each step that fails is skipped; the lookup then leaves Gelen as it is.
  Variant result = Gelen;
  std::string list;
  std::string marker;
  try {
    list = "," + ConcatText(Setting("set_replace")) + ",";
  } catch (const ScriptError&) {
  }
  try {
    marker = "," + ConcatText(Gelen) + "=";
  } catch (const ScriptError&) {
  }
  try {
    if (text::InStr(1, text::FoldedCodePoints(list), text::FoldedCodePoints(marker)) > 0)
      result = GetThis(Variant(list), Variant(1), Variant(marker), Variant(","));
  } catch (const ScriptError&) {
  }
  return result;
}

}  // namespace tabrix
