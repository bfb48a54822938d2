// A libpq connection as a provider connection backend.
//
// Every statement runs with PQexecParams and its whole result is read
// before the call returns, so no result is ever left half-read on the
// link when the next statement starts; results that may be large (the
// static cursors) are read a row at a time through a server-side cursor
// (pg_cursor_rows.h). Parameters are sent as text with no declared type,
// so the server takes each as the type its place wants; "?" placeholders
// are numbered $1.. first.
//
// A lost link is told by the connection's status, not by one failed
// result: the failure is kConnection, and Healthy() turns false so the pool
// closes the connection and opens a new one for the next borrower. A
// change whose commit may have happened before the link was lost (COMMIT,
// or a change outside a transaction) raises the outcome-unknown error and
// is never run again.
#pragma once

#include <libpq-fe.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/adodb/backend.h"
#include "host/adodb/postgres/pg_catalog_cache.h"
#include "host/adodb/postgres/pg_result.h"
#include "host/sql/postgres_dialect.h"

namespace tabrix::adodb::postgres {

class PostgresConnection;

// The relation a result column reads, as the catalog describes it; columns
// found by their attribute number.
struct Relation {
  TableInfo info;
  char kind = 'r';                   // pg_class.relkind
  std::map<int, size_t> by_attnum;  // attribute number -> index in info.columns
};

// The database's names for the rewrite, from the catalog cache: read when
// first needed and again when a name is unknown or a statement failed for
// a reason of the schema. The names a rewrite reads stay held by it while
// another connection reloads them.
class CatalogNames : public sql::NameSource {
 public:
  explicit CatalogNames(PostgresConnection& connection) : connection_(connection) {}
  const sql::NameCatalog& Names() override;
  const sql::NameCatalog& Reload() override;

 private:
  PostgresConnection& connection_;
  std::shared_ptr<const sql::NameCatalog> held_ = std::make_shared<const sql::NameCatalog>();
};

using TextParameters = std::vector<std::optional<std::string>>;

class PostgresConnection : public ConnectionBackend {
 public:
  // What a statement does, for the account of a lost link.
  enum class RunKind { kRead, kChange, kCommit };

  // Takes ownership of `db`, open and set up by the provider, whose session
  // statement_timeout is `timeout_ms`; `catalog` is shared by the
  // connections to the same database (pg_catalog_cache.h).
  PostgresConnection(PGconn* db, long long timeout_ms, std::shared_ptr<CatalogCache> catalog);
  ~PostgresConnection() override;
  PostgresConnection(const PostgresConnection&) = delete;
  PostgresConnection& operator=(const PostgresConnection&) = delete;

  const sql::Dialect& dialect() const override;
  // The legacy SQL with names resolved against this database's catalog.
  std::string Rewrite(std::string_view legacy_sql) const override;
  // Runs at the first Step; the statement reads its whole result then.
  std::unique_ptr<StatementBackend> Prepare(std::string_view sql) override;
  std::int64_t Execute(std::string_view sql, const std::vector<Variant>& values) override;
  // A scrollable server-side cursor (pg_cursor_rows.h).
  std::unique_ptr<RowSource> OpenStaticRows(std::shared_ptr<ConnectionLink> link,
                                            std::string sql, std::int64_t window) override;

  // Reads: REPEATABLE READ (one snapshot for the count and every row; not
  // READ ONLY, since a user transaction may take the snapshot over and
  // write). Writes: the default READ COMMITTED. Commit raises when the
  // server rolled back instead (an earlier statement of the transaction
  // failed), so a lost transaction is never reported as kept.
  void BeginRead() override;
  void BeginWrite() override;
  void Commit() override;
  void Rollback() override;
  bool InTransaction() const override;
  // The transaction's snapshot, while the transaction has written nothing
  // (has no transaction id): an identical snapshot sees identical rows.
  std::optional<std::string> DataToken() override;
  // The link is up and out of any transaction.
  bool Healthy() override;
  // PgIdleLinkAlive (pg_session.h).
  bool Alive(bool round_trip) override;

  // Through the catalog cache.
  std::vector<TableEntry> ListTables() override;
  TableInfo DescribeTable(const TableRef& table) override;
  // Read from the catalog on each call (pg_catalog.h).
  std::vector<ForeignKey> ListForeignKeys() override;
  std::vector<CheckConstraint> ListCheckConstraints() override;
  // INSERT ... RETURNING the key (the row's ctid for a table without one).
  RowCondition InsertRow(const TableInfo& table, const std::vector<std::string>& columns,
                         const std::vector<Variant>& values) override;
  // Without a key covered by `columns`, the first row whose values match
  // (IS NOT DISTINCT FROM) is pinned by its ctid, which holds until the
  // row next changes.
  RowCondition LocateRow(const TableInfo& table, const std::vector<std::string>& columns,
                         const std::vector<Variant>& values) override;

  // Runs one statement with text parameters and returns its whole result;
  // raises kErrProvider when it fails (see the header's paragraph on lost
  // links), 3001 for a NUL byte in the text.
  PgResult Run(std::string_view sql, const TextParameters& parameters = {},
               RunKind kind = RunKind::kRead);
  // The table or view with OID `oid`, from the catalog cache.
  std::shared_ptr<const Relation> RelationById(Oid oid);
  CatalogCache& catalog() const { return *catalog_; }

 private:
  void SyncStatementTimeout();

  PGconn* db_;
  long long timeout_ms_;  // the session's statement_timeout
  std::shared_ptr<CatalogCache> catalog_;
  mutable CatalogNames names_{*this};
};

}  // namespace tabrix::adodb::postgres
