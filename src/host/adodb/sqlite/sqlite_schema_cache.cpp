#include "host/adodb/sqlite/sqlite_schema_cache.h"

#include "host/adodb/sqlite/sqlite_catalog.h"

namespace tabrix::adodb::sqlite {

std::int64_t SchemaCache::ReadVersion(StatementHandle& statement, const char* sql) {
  if (!statement) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) != SQLITE_OK)
      RaiseSqliteError(db_);
    statement.reset(raw);
  }
  // Reset before raising too: a kept statement is never left busy.
  struct ResetAfter {
    sqlite3_stmt* statement;
    ~ResetAfter() { sqlite3_reset(statement); }
  } reset{statement.get()};
  return StepOrRaise(db_, statement.get()) ? sqlite3_column_int64(statement.get(), 0) : 0;
}

void SchemaCache::Forget() {
  main_ = temp_ = -1;
  temp_may_change_ = true;
  tables_.reset();
  described_.clear();
  names_.reset();
}

void SchemaCache::Check() {
  try {
    std::int64_t main = ReadVersion(main_version_, "PRAGMA main.schema_version");
    std::int64_t temp = temp_;
    if (temp_may_change_) temp = ReadVersion(temp_version_, "PRAGMA temp.schema_version");
    if (main != main_ || temp != temp_) {
      Forget();
      main_ = main;
      temp_ = temp;
    }
    temp_may_change_ = false;
  } catch (...) {
    Forget();
    throw;
  }
}

const std::vector<TableEntry>& SchemaCache::Tables() {
  if (!tables_) tables_ = ListTables(db_);
  return *tables_;
}

const TableInfo& SchemaCache::Table(const TableRef& table) {
  auto key = std::make_pair(table.schema, table.name);
  auto it = described_.find(key);
  if (it == described_.end()) it = described_.emplace(key, DescribeTable(db_, table)).first;
  return it->second;
}

const sql::NameCatalog& SchemaCache::Names() {
  try {
    Check();
    if (!names_) names_ = ReadNames(db_);
    return *names_;
  } catch (const ScriptError&) {
    // A locked or damaged schema reads nothing: the rewrite goes on without
    // names, and the statement's own error follows.
    return no_names_;
  }
}

}  // namespace tabrix::adodb::sqlite
