// Names that differ only in letter case, as the component meets them: the
// table and column sets they are told apart in, and the session keys,
// per-table settings and request items that keep such names apart.
#include <string>
#include <vector>

#include "component/tabrix1.h"
#include "host/adodb/connection.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

// The `column` values of a schema rowset.
std::vector<std::string> NamesOf(adodb::Recordset& rows, const char* column) {
  std::vector<std::string> names;
  for (; !rows.Eof(); rows.MoveNext()) names.push_back(ConcatText(rows.Value(Variant(column))));
  return names;
}

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

bool Tabrix1::TableHasCaseTwin(const std::string& table) {
  if (!TableTwins) {
    // Without a database there are no names to tell apart.
    if (IsEmptyText(Setting("set_dns"))) return false;
    auto tables = OpenSiteConnection()->OpenSchema(Variant(adodb::kSchemaTables), Variant());
    TableTwins.emplace(NamesOf(*tables, "TABLE_NAME"));
  }
  return TableTwins->Has(table);
}

bool Tabrix1::FieldHasCaseTwin(const std::string& table, const std::string& field) {
  auto known = ColumnTwins.find(table);
  if (known == ColumnTwins.end()) {
    if (IsEmptyText(Setting("set_dns"))) return false;
    VariantArray restrictions{Variant(), Variant(), Variant(table)};
    auto columns = OpenSiteConnection()->OpenSchema(Variant(adodb::kSchemaColumns),
                                                     Variant::Array(std::move(restrictions)));
    known = ColumnTwins.emplace(table, values::CaseTwins(NamesOf(*columns, "COLUMN_NAME"))).first;
  }
  return known->second.Has(field);
}

bool Tabrix1::NamesTable(std::string_view entry, const std::string& table) {
  if (entry == table) return true;
  return EqualsIgnoreCase(entry, table) && !TableHasCaseTwin(table);
}

bool Tabrix1::NamesField(std::string_view entry, const std::string& table,
                         const std::string& field) {
  // Most entries name some other field: ASCII names that differ in length
  // differ in every case, and need not be put together to tell.
  if (entry.size() != table.size() + 1 + field.size() && IsAscii(entry) && IsAscii(table) &&
      IsAscii(field))
    return false;
  std::string named = table + "." + field;
  if (entry == named) return true;
  return EqualsIgnoreCase(entry, named) && !TableHasCaseTwin(table) &&
         !FieldHasCaseTwin(table, field);
}

std::string Tabrix1::TableKey(const std::string& table) {
  return values::KeyPart(table, TableHasCaseTwin(table));
}

Variant Tabrix1::TableCode(const Variant& table) {
  // The menu stored the code under the key its run gave the table; read so,
  // a page that has written needs no second look at the schema.
  std::string name = ConcatText(table);
  std::string twin_key = "code_" + values::KeyPart(name, true);
  if (SessionObject().Contains(twin_key)) return Setting(twin_key);
  return Setting("code_" + name);
}

Variant Tabrix1::TableSetting(const std::string& table, std::string_view suffix) {
  std::string key = "set_" + table + std::string(suffix);
  // Keys ignore case, so a twin's setting would read as this table's.
  std::string stored = SessionObject().StoredKey(key);
  if (!stored.empty() && stored.compare(4, table.size(), table) != 0 && TableHasCaseTwin(table))
    return Variant();
  return Setting(key);
}

Variant Tabrix1::FieldItem(std::string_view prefix, const std::string& field,
                           std::string_view suffix) {
  std::string name = std::string(prefix) + field + std::string(suffix);
  Variant any_case = Param(name);
  if (any_case.IsEmpty()) return any_case;
  Variant exact = Param(name, true);
  // Where both find the same, the names need no telling apart.
  if (exact.Identical(any_case)) return any_case;
  return FieldHasCaseTwin(ConcatText(CurrentTable), field) ? exact : any_case;
}

}  // namespace tabrix
