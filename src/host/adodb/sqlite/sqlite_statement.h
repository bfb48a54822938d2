// A prepared SQLite statement as a provider statement backend.
#pragma once

#include <set>
#include <string>

#include "host/adodb/backend.h"
#include "host/adodb/sqlite/sqlite_handle.h"

namespace tabrix::adodb::sqlite {

class SqliteConnection;

// Which tables a statement reads directly and which only through a view,
// as SQLite's authorizer reported them while preparing it. Keys are
// "schema.table".
struct TableReads {
  std::set<std::string> direct;
  std::set<std::string> through_view;
};

class SqliteStatement : public StatementBackend {
 public:
  // `connection` must outlive the statement.
  SqliteStatement(SqliteConnection& connection, StatementHandle statement, TableReads reads);

  void Bind(int position, const Variant& value) override;
  bool Step() override;
  int ColumnCount() const override;
  // Writable: a column of a base table read directly (not through a view),
  // neither generated nor the row id alias.
  std::vector<ColumnInfo> DescribeColumns() override;
  Variant Value(int column, long type) const override;

 private:
  SqliteConnection& connection_;
  StatementHandle statement_;
  TableReads reads_;
  bool has_row_ = false;  // the last Step stopped on a row
  bool started_ = false;  // Step has run: the deadline is set
  Deadline deadline_{};
};

}  // namespace tabrix::adodb::sqlite
