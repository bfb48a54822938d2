#include "host/adodb/sqlite/sqlite_catalog.h"

#include <string>

#include "host/adodb/field.h"
#include "host/adodb/sqlite/sqlite_handle.h"
#include "host/adodb/sqlite/sqlite_types.h"
#include "host/sql/tokenizer.h"

namespace tabrix::adodb::sqlite {

namespace {

// Whether a CREATE TABLE statement ends in WITHOUT ROWID (before or after
// STRICT).
bool DeclaresWithoutRowId(const std::string& create_sql) {
  std::vector<sql::Token> tokens = sql::Tokenize(create_sql);
  int depth = 0;
  const sql::Token* previous = nullptr;
  for (const sql::Token& token : tokens) {
    if (sql::IsTrivia(token)) continue;
    if (sql::IsPunct(token, "(")) ++depth;
    if (sql::IsPunct(token, ")")) --depth;
    if (depth == 0 && previous != nullptr && sql::IsWord(*previous, "without") &&
        sql::IsWord(token, "rowid"))
      return true;
    previous = &token;
  }
  return false;
}

std::string UpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// Finds `name` in `schema`'s catalog; fills ref, is_view and has_row_id.
bool FindInSchema(sqlite3* db, const std::string& schema, const std::string& name,
                  TableInfo& info) {
  std::string query = "SELECT name, type, sql FROM \"" + schema +
                      "\".sqlite_schema WHERE type IN ('table', 'view') AND name = ?1 "
                      "COLLATE NOCASE";
  StatementHandle statement = PrepareOrRaise(db, query);
  BindText(statement.get(), 1, name);
  if (!StepOrRaise(db, statement.get())) return false;
  info.exists = true;
  info.ref = {schema, ColumnText(statement.get(), 0)};
  info.is_view = ColumnText(statement.get(), 1) == "view";
  info.has_row_id = !info.is_view && !DeclaresWithoutRowId(ColumnText(statement.get(), 2));
  return true;
}

}  // namespace

std::vector<TableEntry> ListTables(sqlite3* db) {
  StatementHandle statement = PrepareOrRaise(
      db, "SELECT name, type FROM main.sqlite_schema WHERE type IN ('table', 'view')");
  std::vector<TableEntry> tables;
  while (StepOrRaise(db, statement.get())) {
    TableEntry entry;
    entry.name = ColumnText(statement.get(), 0);
    if (entry.name.rfind("sqlite_", 0) == 0)
      entry.type = "SYSTEM TABLE";
    else
      entry.type = ColumnText(statement.get(), 1) == "view" ? "VIEW" : "TABLE";
    tables.push_back(std::move(entry));
  }
  return tables;
}

TableInfo DescribeTable(sqlite3* db, const TableRef& table) {
  TableInfo info;
  info.ref = table;
  if (table.schema.empty()) {
    if (!FindInSchema(db, "temp", table.name, info) && !FindInSchema(db, "main", table.name, info))
      return info;
  } else {
    // The schema name goes inside double quotes.
    std::string schema;
    for (char c : table.schema) schema += c == '"' ? std::string("\"\"") : std::string(1, c);
    if (!FindInSchema(db, schema, table.name, info)) return info;
    info.ref.schema = table.schema;
  }

  StatementHandle statement = PrepareOrRaise(
      db, "SELECT name, type, \"notnull\", dflt_value, pk, hidden FROM pragma_table_xinfo(?1, ?2)");
  BindText(statement.get(), 1, info.ref.name);
  BindText(statement.get(), 2, info.ref.schema);
  int key_columns = 0;
  while (StepOrRaise(db, statement.get())) {
    TableColumn column;
    column.name = ColumnText(statement.get(), 0);
    column.declared_type = ColumnText(statement.get(), 1);
    column.type = TypeFromDeclared(column.declared_type);
    if (column.type == 0) column.type = TypeFromStorage(SQLITE_TEXT);
    column.defined_size = DefinedSizeFromDeclared(column.declared_type);
    column.key_position = sqlite3_column_int(statement.get(), 4);
    // A key column counts as NOT NULL: SQLite only fails to enforce it on
    // the non-integer keys of row id tables, a leftover it keeps for old files.
    column.not_null = sqlite3_column_int(statement.get(), 2) != 0 || column.key_position > 0;
    column.has_default = sqlite3_column_type(statement.get(), 3) != SQLITE_NULL;
    column.default_text = ColumnText(statement.get(), 3);
    column.generated = sqlite3_column_int(statement.get(), 5) != 0;
    if (column.key_position > 0) ++key_columns;
    info.columns.push_back(std::move(column));
  }
  // Only a lone INTEGER primary key of a row id table is the row id itself.
  if (info.has_row_id && key_columns == 1) {
    for (TableColumn& column : info.columns)
      if (column.key_position == 1 && UpperAscii(column.declared_type) == "INTEGER")
        column.auto_key = true;
  }
  return info;
}

sql::NameCatalog ReadNames(sqlite3* db) {
  sql::NameCatalog names;
  for (const char* schema : {"main", "temp"}) {
    StatementHandle tables = PrepareOrRaise(
        db, "SELECT name FROM " + std::string(schema) +
                ".sqlite_schema WHERE type IN ('table', 'view')");
    while (StepOrRaise(db, tables.get())) {
      std::string table = ColumnText(tables.get(), 0);
      sqlite3_stmt* raw = nullptr;
      if (sqlite3_prepare_v2(db, "SELECT name, type FROM pragma_table_xinfo(?1, ?2)", -1, &raw,
                             nullptr) != SQLITE_OK)
        RaiseSqliteError(db);
      StatementHandle columns(raw);
      BindText(columns.get(), 1, table);
      BindText(columns.get(), 2, schema);
      names.AddTable(table);
      while (sqlite3_step(columns.get()) == SQLITE_ROW) {
        long type = TypeFromDeclared(ColumnText(columns.get(), 1));
        bool date = type == kDate || type == kDBTimeStamp || type == kDBDate || type == kDBTime;
        names.AddColumn(table, ColumnText(columns.get(), 0),
                        date ? sql::ColumnKind::kDate : sql::ColumnKind::kOther);
      }
    }
  }
  return names;
}

}  // namespace tabrix::adodb::sqlite
