// A statement on a PostgreSQL connection as a provider statement backend.
//
// The statement runs at its first Step, with the parameters bound so far,
// and its whole result is read then; later Steps walk the rows held.
#pragma once

#include "host/adodb/backend.h"
#include "host/adodb/postgres/pg_connection.h"

namespace tabrix::adodb::postgres {

class PostgresStatement : public StatementBackend {
 public:
  // `connection` must outlive the statement.
  PostgresStatement(PostgresConnection& connection, std::string sql);

  void Bind(int position, const Variant& value) override;
  bool Step() override;
  int ColumnCount() const override;
  // Writable: a column of a table (not a view), not generated. Identity
  // and sequence-fed columns are writable but carry no 0x4|0x8, so the
  // forms leave them out.
  std::vector<ColumnInfo> DescribeColumns() override;
  Variant Value(int column, long type) const override;

 private:
  PostgresConnection& connection_;
  std::string sql_;
  TextParameters parameters_;
  PgResult result_;
  int row_ = -1;  // the current row of result_
};

}  // namespace tabrix::adodb::postgres
