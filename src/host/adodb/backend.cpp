#include "host/adodb/backend.h"

#include <algorithm>

#include "host/adodb/row_source.h"
#include "host/sql/query_shape.h"
#include "host/sql/rewriter.h"
#include "host/error.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"

namespace tabrix::adodb {

std::string ConnectionBackend::Rewrite(std::string_view legacy_sql) const {
  return sql::Rewrite(legacy_sql, dialect());
}

std::string ConnectionBackend::QualifiedName(const TableRef& table) const {
  if (table.schema.empty()) return dialect().QuoteName(table.name);
  return dialect().QuoteName(table.schema) + "." + dialect().QuoteName(table.name);
}

std::string ConnectionBackend::InsertSql(const TableInfo& table,
                                         const std::vector<std::string>& columns) const {
  std::string sql = "INSERT INTO " + QualifiedName(table.ref);
  if (columns.empty()) return sql + " DEFAULT VALUES";
  std::string names, marks;
  for (size_t i = 0; i < columns.size(); ++i) {
    names += (i ? ", " : "") + dialect().QuoteName(columns[i]);
    marks += i ? ", ?" : "?";
  }
  return sql + " (" + names + ") VALUES (" + marks + ")";
}

void ConnectionBackend::Savepoint(std::string_view name) {
  Execute("SAVEPOINT " + dialect().QuoteName(name));
}

void ConnectionBackend::ReleaseSavepoint(std::string_view name) {
  Execute("RELEASE SAVEPOINT " + dialect().QuoteName(name));
}

void ConnectionBackend::RollbackToSavepoint(std::string_view name) {
  Execute("ROLLBACK TO SAVEPOINT " + dialect().QuoteName(name));
}

std::int64_t ConnectionBackend::UpdateRows(const TableInfo& table,
                                           const std::vector<std::string>& columns,
                                           const std::vector<Variant>& values,
                                           const RowCondition& where) {
  std::string sql = "UPDATE " + QualifiedName(table.ref) + " SET ";
  for (size_t i = 0; i < columns.size(); ++i)
    sql += (i ? ", " : "") + dialect().QuoteName(columns[i]) + " = ?";
  sql += " WHERE " + where.where;
  std::vector<Variant> bound = values;
  bound.insert(bound.end(), where.values.begin(), where.values.end());
  return Execute(sql, bound);
}

std::int64_t ConnectionBackend::DeleteRows(const TableInfo& table, const RowCondition& where) {
  return Execute("DELETE FROM " + QualifiedName(table.ref) + " WHERE " + where.where,
                 where.values);
}

void RaiseRowChanged(std::string_view message) {
  RaiseProviderError(std::string(message), {"", "", DbFailure::kRowChanged});
}

std::vector<const TableColumn*> KeyColumns(const TableInfo& table) {
  std::vector<const TableColumn*> key;
  for (const TableColumn& column : table.columns)
    if (column.key_position > 0) key.push_back(&column);
  std::sort(key.begin(), key.end(), [](const TableColumn* a, const TableColumn* b) {
    return a->key_position < b->key_position;
  });
  return key;
}

int IndexOfName(const std::vector<std::string>& columns, std::string_view name) {
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i] == name) return static_cast<int>(i);
  for (size_t i = 0; i < columns.size(); ++i)
    if (EqualsIgnoreCase(columns[i], name)) return static_cast<int>(i);
  return -1;
}

bool CoversKey(const TableInfo& table, const std::vector<std::string>& columns) {
  std::vector<const TableColumn*> key = KeyColumns(table);
  return !key.empty() && std::all_of(key.begin(), key.end(), [&](const TableColumn* column) {
           return IndexOfName(columns, column->name) >= 0;
         });
}

RowCondition KeyCondition(const sql::Dialect& dialect, const TableInfo& table,
                          const std::vector<std::string>& columns,
                          const std::vector<Variant>& values) {
  RowCondition condition;
  for (const TableColumn* key : KeyColumns(table)) {
    int index = IndexOfName(columns, key->name);
    condition.where += (condition.where.empty() ? "" : " AND ") + dialect.QuoteName(key->name) + " = ?";
    condition.values.push_back(index < 0 ? Variant::Null() : values[static_cast<size_t>(index)]);
  }
  return condition;
}

RowCondition ValuesCondition(const sql::Dialect& dialect, const std::vector<std::string>& columns,
                             const std::vector<Variant>& values, std::string_view same) {
  RowCondition condition;
  for (size_t i = 0; i < columns.size(); ++i) {
    condition.where += (condition.where.empty() ? "" : " AND ") + dialect.QuoteName(columns[i]) +
                       " " + std::string(same) + " ?";
    condition.values.push_back(values[i]);
  }
  return condition;
}

CachedCount FindCachedCount(ConnectionBackend& db, const std::string& sql) {
  CachedCount cached;
  if (CountMayVaryWithoutWrites(sql)) return cached;
  cached.token = db.DataToken();
  if (cached.token) cached.count = db.count_cache().Find(sql, *cached.token);
  if (cached.count) NoteCountCacheHit();
  return cached;
}

std::int64_t CountQueryRows(ConnectionBackend& db, const std::string& sql,
                            const std::optional<std::string>& token) {
  std::optional<std::string> fast = sql::FastCountQuery(sql);
  std::unique_ptr<StatementBackend> counter = db.Prepare(fast ? *fast : sql::CountQuery(sql));
  if (!counter->Step())
    RaiseProviderError("the count query returned no row", {"", "", DbFailure::kOther});
  std::int64_t count = ToLong(counter->Value(0, 20));
  if (token) {
    db.count_cache().Store(sql, *token, count);
    NoteCountCacheMiss();
  } else {
    NoteCountUncached();
  }
  return count;
}

}  // namespace tabrix::adodb
