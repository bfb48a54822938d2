#include "site/outline/database_outline.h"

#include "host/adodb/field.h"
#include "host/adodb/recordset.h"
#include "host/sql/in_check.h"
#include "host/sql/legacy_names.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "site/history/history_log.h"

namespace tabrix::site {

namespace {

// The schema rowset `schema` with the table-name restriction `table`
// (every table when empty).
std::shared_ptr<adodb::Recordset> Rowset(adodb::Connection& connection, long schema,
                                         const std::string& table = {}) {
  Variant restrictions;
  if (!table.empty())
    restrictions = Variant::Array(VariantArray{Variant(), Variant(), Variant(table)});
  return connection.OpenSchema(Variant(schema), restrictions);
}

std::string Text(adodb::Recordset& rows, std::string_view column) {
  return ConcatText(rows.Value(Variant(std::string(column))));
}

void ReadColumns(adodb::Connection& connection, OutlineTable& table) {
  auto columns = Rowset(connection, adodb::kSchemaColumns, table.name);
  for (; !columns->Eof(); columns->MoveNext()) {
    // The rowset matches the name ignoring case: a twin's columns are not
    // this table's.
    if (Text(*columns, "TABLE_NAME") != table.name) continue;
    OutlineColumn column;
    column.name = Text(*columns, "COLUMN_NAME");
    column.type = static_cast<long>(ToLong(columns->Value(Variant("DATA_TYPE"))));
    column.nullable = ToBool(columns->Value(Variant("IS_NULLABLE")));
    table.columns.push_back(std::move(column));
  }
  columns->Close();
  if (table.view) return;
  auto keys = Rowset(connection, adodb::kSchemaPrimaryKeys, table.name);
  for (; !keys->Eof(); keys->MoveNext())
    if (Text(*keys, "TABLE_NAME") == table.name) table.key.push_back(Text(*keys, "COLUMN_NAME"));
  keys->Close();
}

void ReadForeignKeys(adodb::Connection& connection, DatabaseOutline& outline) {
  auto rows = Rowset(connection, adodb::kSchemaForeignKeys);
  for (; !rows->Eof(); rows->MoveNext()) {
    std::string table = Text(*rows, "FK_TABLE_NAME");
    std::string parent = Text(*rows, "PK_TABLE_NAME");
    std::string name = Text(*rows, "FK_NAME");
    long ordinal = static_cast<long>(ToLong(rows->Value(Variant("ORDINAL"))));
    // A key's columns come together, its first with ordinal 1.
    if (ordinal <= 1 || outline.foreign_keys.empty() ||
        outline.foreign_keys.back().table != table ||
        outline.foreign_keys.back().parent != parent || outline.foreign_keys.back().name != name)
      outline.foreign_keys.push_back({name, table, parent, {}});
    outline.foreign_keys.back().columns.emplace_back(Text(*rows, "FK_COLUMN_NAME"),
                                                     Text(*rows, "PK_COLUMN_NAME"));
  }
  rows->Close();
}

void ReadValueLists(adodb::Connection& connection, DatabaseOutline& outline) {
  auto rows = Rowset(connection, adodb::kSchemaCheckConstraints);
  for (; !rows->Eof(); rows->MoveNext()) {
    std::optional<sql::InCheck> list = sql::ParseInCheck(Text(*rows, "CHECK_CLAUSE"));
    if (!list) continue;
    const OutlineTable* table = outline.Find(Text(*rows, "TABLE_NAME"));
    if (table == nullptr) continue;
    // The clause names the column as written: take the table's spelling.
    for (const OutlineColumn& column : table->columns)
      if (EqualsIgnoreCase(column.name, list->column)) {
        outline.value_lists.push_back({table->name, column.name, std::move(list->values)});
        break;
      }
  }
  rows->Close();
}

}  // namespace

const OutlineTable* DatabaseOutline::Find(std::string_view name) const {
  for (const OutlineTable& table : tables)
    if (table.name == name) return &table;
  for (const OutlineTable& table : tables)
    if (EqualsIgnoreCase(table.name, name)) return &table;
  return nullptr;
}

namespace {

// The tables and views, without their columns.
std::vector<OutlineTable> ListTables(adodb::Connection& connection) {
  std::vector<OutlineTable> listed;
  auto tables = Rowset(connection, adodb::kSchemaTables);
  for (; !tables->Eof(); tables->MoveNext()) {
    std::string type = Text(*tables, "TABLE_TYPE");
    if (type != "TABLE" && type != "VIEW") continue;
    // The site's own change history is no table of the database's.
    if (EqualsIgnoreCase(Text(*tables, "TABLE_NAME"), history::kSqliteTable)) continue;
    listed.push_back({Text(*tables, "TABLE_NAME"), type == "VIEW", {}, {}});
  }
  tables->Close();
  return listed;
}

}  // namespace

std::vector<std::string> ListTableNames(adodb::Connection& connection) {
  std::vector<std::string> names;
  for (OutlineTable& table : ListTables(connection)) names.push_back(std::move(table.name));
  return names;
}

DatabaseOutline ReadOutline(adodb::Connection& connection) {
  DatabaseOutline outline;
  outline.tables = ListTables(connection);
  for (OutlineTable& table : outline.tables) ReadColumns(connection, table);
  ReadForeignKeys(connection, outline);
  ReadValueLists(connection, outline);
  return outline;
}

std::int64_t CountRowsUpTo(adodb::Connection& connection, const std::string& table,
                           std::int64_t limit) {
  auto rows = adodb::NewRecordset();
  rows->Open(Variant("SELECT COUNT(*) AS n FROM (SELECT 1 AS one FROM " +
                     sql::BracketedName(table) + " LIMIT " + std::to_string(limit + 1) +
                     ") AS counted"),
             Variant(connection.shared_from_this()), Variant(adodb::kForwardOnly),
             Variant(adodb::kReadOnly));
  std::int64_t count = ToLong(rows->Value(Variant(0)));
  rows->Close();
  return count;
}

std::string ShownName(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (char c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    } else {
      shown += c;
    }
  }
  return shown;
}

bool IsShortText(long type) {
  return type == adodb::kBSTR || type == adodb::kChar || type == adodb::kWChar ||
         type == adodb::kVarChar || type == adodb::kVarWChar;
}

}  // namespace tabrix::site
