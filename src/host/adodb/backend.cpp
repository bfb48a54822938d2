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

}  // namespace tabrix::adodb
