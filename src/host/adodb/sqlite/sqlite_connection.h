// A SQLite database handle as a provider connection backend.
#pragma once

#include <sqlite3.h>

#include <cstdint>

#include <memory>

#include "host/adodb/backend.h"
#include "host/adodb/sqlite/sqlite_schema_cache.h"
#include "host/sql/dialect.h"

namespace tabrix::adodb::sqlite {

class SqliteConnection : public ConnectionBackend {
 public:
  // Takes ownership of `db`, an open handle set up by the provider.
  explicit SqliteConnection(sqlite3* db);
  ~SqliteConnection() override;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  const sql::Dialect& dialect() const override;
  // The legacy SQL for SQLite; the names tell which literals are dates.
  std::string Rewrite(std::string_view legacy_sql) const override;
  // Notes, while preparing, which tables are read through views, so that
  // view columns come out read-only.
  std::unique_ptr<StatementBackend> Prepare(std::string_view sql) override;
  std::int64_t Execute(std::string_view sql, const std::vector<Variant>& values) override;
  // A window over the query (window_rows.h).
  std::unique_ptr<RowSource> OpenStaticRows(std::shared_ptr<ConnectionLink> link,
                                            std::string sql, std::int64_t window) override;

  void BeginRead() override;
  void BeginWrite() override;
  void Commit() override;
  void Rollback() override;
  bool InTransaction() const override;
  // The data versions of the connection's databases and its count of
  // changes, in a read transaction that has read: every commit to a
  // database, by any connection, moves its version.
  std::optional<std::string> DataToken() override;
  // Out of any transaction, with no statement left unfinished.
  bool Healthy() override;

  // From the schema cache, checked first (sqlite_schema_cache.h).
  std::vector<TableEntry> ListTables() override;
  TableInfo DescribeTable(const TableRef& table) override;
  // Read afresh on each call (sqlite_constraints.h).
  std::vector<ForeignKey> ListForeignKeys() override;
  std::vector<CheckConstraint> ListCheckConstraints() override;
  // A row id table finds the new row by its row id; a WITHOUT ROWID table
  // by the key values inserted.
  RowCondition InsertRow(const TableInfo& table, const std::vector<std::string>& columns,
                         const std::vector<Variant>& values) override;
  RowCondition LocateRow(const TableInfo& table, const std::vector<std::string>& columns,
                         const std::vector<Variant>& values) override;

  sqlite3* handle() const { return db_; }
  // What this connection keeps of the schema; its statements describe
  // their columns through it.
  SchemaCache& schema() const { return *schema_; }

 private:
  // Runs one statement with no parameters and no rows.
  void Run(const char* sql);
  sqlite3* db_;
  std::unique_ptr<SchemaCache> schema_;  // finalized before db_ is closed
};

}  // namespace tabrix::adodb::sqlite
