#include "host/adodb/postgres/pg_statement.h"

#include "host/adodb/column_attributes.h"
#include "host/adodb/postgres/pg_types.h"

namespace tabrix::adodb::postgres {

PostgresStatement::PostgresStatement(PostgresConnection& connection, std::string sql)
    : connection_(connection), sql_(std::move(sql)) {}

void PostgresStatement::Bind(int position, const Variant& value) {
  if (position < 1) RaiseError(kErrAdoArguments, "parameter positions start at 1");
  if (parameters_.size() < static_cast<size_t>(position)) parameters_.resize(position);
  parameters_[position - 1] = ParameterText(value);
}

bool PostgresStatement::Step() {
  if (!result_) result_ = connection_.Run(sql_, parameters_);
  if (row_ < PQntuples(result_.get())) ++row_;
  return row_ < PQntuples(result_.get());
}

int PostgresStatement::ColumnCount() const { return result_ ? PQnfields(result_.get()) : 0; }

std::vector<ColumnInfo> PostgresStatement::DescribeColumns() {
  std::vector<ColumnInfo> columns;
  const PGresult* result = result_.get();
  for (int i = 0; i < ColumnCount(); ++i) {
    ColumnInfo column;
    column.name = PQfname(result, i);
    Oid type = PQftype(result, i);
    column.type = TypeFromOid(type);
    column.defined_size = DefinedSizeFromOid(type, PQfmod(result, i));
    bool nullable = true;
    bool auto_key = false;
    Oid table = PQftable(result, i);
    int attnum = PQftablecol(result, i);
    if (table != InvalidOid && attnum > 0) {
      std::shared_ptr<const Relation> relation = connection_.RelationById(table);
      auto it = relation->by_attnum.find(attnum);
      if (relation->info.exists && it != relation->by_attnum.end()) {
        const TableColumn& table_column = relation->info.columns[it->second];
        column.origin = relation->info.ref;
        column.origin_column = table_column.name;
        nullable = !table_column.not_null;
        column.writable = !relation->info.is_view && !table_column.generated;
        auto_key = table_column.auto_key;
      }
    }
    column.attributes = ColumnAttributes(column.type, column.writable && !auto_key, nullable);
    columns.push_back(std::move(column));
  }
  return columns;
}

Variant PostgresStatement::Value(int column, long) const {
  const PGresult* result = result_.get();
  if (result == nullptr || row_ < 0 || row_ >= PQntuples(result) || column < 0 ||
      column >= PQnfields(result))
    RaiseError(kErrItemNotFound);
  if (PQgetisnull(result, row_, column)) return Variant::Null();
  return ReadValue(std::string_view(PQgetvalue(result, row_, column),
                                    static_cast<size_t>(PQgetlength(result, row_, column))),
                   PQftype(result, column));
}

}  // namespace tabrix::adodb::postgres
