#include "host/adodb/backend.h"

#include "host/sql/rewriter.h"

namespace tabrix::adodb {

std::string ConnectionBackend::Rewrite(std::string_view legacy_sql) const {
  return sql::Rewrite(legacy_sql, dialect());
}

std::string ConnectionBackend::QualifiedName(const TableRef& table) const {
  if (table.schema.empty()) return dialect().QuoteName(table.name);
  return dialect().QuoteName(table.schema) + "." + dialect().QuoteName(table.name);
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

}  // namespace tabrix::adodb
