#include "host/adodb/sqlite/sqlite_statement.h"

#include <map>
#include <optional>

#include "host/adodb/column_attributes.h"
#include "host/adodb/connection.h"
#include "host/adodb/sqlite/sqlite_connection.h"
#include "host/adodb/sqlite/sqlite_types.h"

namespace tabrix::adodb::sqlite {

namespace {

std::string Text(const char* text) { return text == nullptr ? std::string() : std::string(text); }

std::string FoldAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

SqliteStatement::SqliteStatement(SqliteConnection& connection, StatementHandle statement,
                                 TableReads reads)
    : connection_(connection), statement_(std::move(statement)), reads_(std::move(reads)) {}

void SqliteStatement::Bind(int position, const Variant& value) {
  BindValue(statement_.get(), position, value);
}

bool SqliteStatement::Step() {
  // The deadline runs from the first step, through every later one.
  if (!started_) {
    deadline_ = DeadlineFromNow();
    started_ = true;
  }
  Deadline deadline = deadline_;
  if (std::optional<Deadline> piece = StatementPiece::Start();
      piece && StatementTimeout().count() > 0)
    deadline = *piece + StatementTimeout();
  if (!sqlite3_stmt_readonly(statement_.get())) connection_.schema().NoteWrite();
  has_row_ = StepOrRaise(connection_.handle(), statement_.get(), deadline);
  return has_row_;
}

int SqliteStatement::ColumnCount() const { return sqlite3_column_count(statement_.get()); }

std::vector<ColumnInfo> SqliteStatement::DescribeColumns() {
  sqlite3_stmt* statement = statement_.get();
  std::map<std::string, TableInfo> tables;  // by "schema.table", folded
  std::vector<ColumnInfo> columns;
  bool checked = false;  // the schema cache, once for all the columns
  for (int i = 0; i < ColumnCount(); ++i) {
    ColumnInfo column;
    column.name = Text(sqlite3_column_name(statement, i));
    std::string declared = Text(sqlite3_column_decltype(statement, i));
    column.type = TypeFromDeclared(declared);
    if (column.type == 0)
      column.type = TypeFromStorage(has_row_ ? sqlite3_column_type(statement, i) : SQLITE_NULL);
    column.defined_size = DefinedSizeFromDeclared(declared);

    bool nullable = true;
    std::string table_name = Text(sqlite3_column_table_name(statement, i));
    if (!table_name.empty()) {
      std::string schema = Text(sqlite3_column_database_name(statement, i));
      column.origin = {schema, table_name};
      column.origin_column = Text(sqlite3_column_origin_name(statement, i));
      std::string key = FoldAscii(schema + "." + table_name);
      auto it = tables.find(key);
      if (it == tables.end()) {
        if (!checked) connection_.schema().Check();
        checked = true;
        it = tables.emplace(key, connection_.schema().Table(column.origin)).first;
      }
      const TableInfo& table = it->second;
      bool through_view = reads_.through_view.count(key) > 0 && reads_.direct.count(key) == 0;
      bool found = false;
      for (const TableColumn& table_column : table.columns) {
        if (FoldAscii(table_column.name) != FoldAscii(column.origin_column)) continue;
        nullable = !table_column.not_null;
        column.writable = !table.is_view && !through_view && !table_column.generated;
        // The row id alias is assigned by the engine: the forms leave it out,
        // though a write that names it is still let through.
        column.attributes =
            ColumnAttributes(column.type, column.writable && !table_column.auto_key, nullable);
        found = true;
        break;
      }
      if (!found) column.attributes = ColumnAttributes(column.type, false, nullable);
    } else {
      column.attributes = ColumnAttributes(column.type, false, nullable);
    }
    columns.push_back(std::move(column));
  }
  return columns;
}

Variant SqliteStatement::Value(int column, long type) const {
  return ReadColumn(statement_.get(), column, type);
}

}  // namespace tabrix::adodb::sqlite
