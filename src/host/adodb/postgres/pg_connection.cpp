#include "host/adodb/postgres/pg_connection.h"

#include <algorithm>
#include <cstdlib>

#include "host/adodb/connection.h"
#include "host/adodb/postgres/pg_catalog.h"
#include "host/adodb/postgres/pg_cursor_rows.h"
#include "host/adodb/postgres/pg_session.h"
#include "host/adodb/postgres/pg_statement.h"
#include "host/adodb/postgres/pg_types.h"
#include "host/locale/locale.h"

namespace tabrix::adodb::postgres {

namespace {

void RefuseNulInSql(std::string_view sql) {
  size_t nul = sql.find('\0');
  if (nul != std::string_view::npos)
    RaiseError(kErrAdoArguments,
               "the SQL text holds a NUL byte (at offset " + std::to_string(nul) + ")");
}

TextParameters ParametersOf(const std::vector<Variant>& values) {
  TextParameters parameters;
  parameters.reserve(values.size());
  for (const Variant& value : values) parameters.push_back(ParameterText(value));
  return parameters;
}

std::string And(const std::string& where, const std::string& term) {
  return where.empty() ? term : where + " AND " + term;
}

}  // namespace

// An aborted transaction reads nothing: the rewrite goes on with the names
// it had, and the statement's own error follows.
const sql::NameCatalog& CatalogNames::Names() {
  try {
    held_ = connection_.catalog().Names(connection_);
  } catch (const ScriptError&) {
  }
  return *held_;
}

const sql::NameCatalog& CatalogNames::Reload() {
  try {
    held_ = connection_.catalog().ReloadNames(connection_);
  } catch (const ScriptError&) {
  }
  return *held_;
}

PostgresConnection::PostgresConnection(PGconn* db, long long timeout_ms,
                                       std::shared_ptr<CatalogCache> catalog)
    : db_(db), timeout_ms_(timeout_ms), catalog_(std::move(catalog)) {}

PostgresConnection::~PostgresConnection() { PQfinish(db_); }

const sql::Dialect& PostgresConnection::dialect() const {
  static const sql::PostgresDialect kDialect;
  return kDialect;
}

std::string PostgresConnection::Rewrite(std::string_view legacy_sql) const {
  return sql::RewriteForPostgres(legacy_sql, names_);
}

void PostgresConnection::SyncStatementTimeout() {
  long long wanted = StatementTimeout().count();
  // A SET inside a transaction would end with it; outside it lasts.
  if (wanted == timeout_ms_ || PQtransactionStatus(db_) != PQTRANS_IDLE) return;
  PgResult result(PQexec(db_, ("SET statement_timeout = " + std::to_string(wanted)).c_str()));
  if (PQresultStatus(result.get()) == PGRES_COMMAND_OK) timeout_ms_ = wanted;
}

PgResult PostgresConnection::Run(std::string_view sql, const TextParameters& parameters,
                                 RunKind kind) {
  RefuseNulInSql(sql);
  bool in_doubt_if_lost =
      kind == RunKind::kCommit ||
      (kind == RunKind::kChange && PQtransactionStatus(db_) == PQTRANS_IDLE);
  SyncStatementTimeout();
  std::string text = sql::NumberPlaceholders(sql);
  std::vector<const char*> values;
  values.reserve(parameters.size());
  for (const std::optional<std::string>& parameter : parameters)
    values.push_back(parameter ? parameter->c_str() : nullptr);
  PgResult result(PQexecParams(db_, text.c_str(), static_cast<int>(values.size()), nullptr,
                               values.data(), nullptr, nullptr, 0));
  ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return result;
  if (PQstatus(db_) == CONNECTION_BAD) RaiseConnectionLost(db_, in_doubt_if_lost);
  if (status == PGRES_EMPTY_QUERY)
    RaiseProviderError("the SQL text holds no statement",
                       {"PostgreSQL", "", DbFailure::kStatement});
  const char* state = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
  std::string_view sqlstate = state != nullptr ? state : "";
  // Class 42 (an undefined table or column, a privilege, a type that no
  // longer fits): what the catalog cache holds may be out of date.
  if (sqlstate.substr(0, 2) == "42") catalog_->Forget();
  RaisePostgresError(db_, result.get());
}

std::unique_ptr<StatementBackend> PostgresConnection::Prepare(std::string_view sql) {
  RefuseNulInSql(sql);
  std::vector<std::string_view> statements = sql::SplitStatements(sql);
  return std::make_unique<PostgresStatement>(
      *this, std::string(statements.empty() ? sql : statements.front()));
}

std::int64_t PostgresConnection::Execute(std::string_view sql, const std::vector<Variant>& values) {
  RefuseNulInSql(sql);
  std::int64_t changes = 0;
  bool first = true;
  for (std::string_view statement : sql::SplitStatements(sql)) {
    PgResult result =
        Run(statement, first ? ParametersOf(values) : TextParameters{}, RunKind::kChange);
    first = false;
    changes = std::atoll(PQcmdTuples(result.get()));
  }
  return changes;
}

std::unique_ptr<RowSource> PostgresConnection::OpenStaticRows(std::shared_ptr<ConnectionLink> link,
                                                              std::string sql, std::int64_t window) {
  return std::make_unique<CursorRows>(std::move(link), std::move(sql), window);
}

void PostgresConnection::BeginRead() {
  // Not READ ONLY: a link's user transaction may take over a snapshot its
  // open cursors hold, and write in it (connection_link.h).
  Run("BEGIN ISOLATION LEVEL REPEATABLE READ");
}

void PostgresConnection::BeginWrite() { Run("BEGIN"); }

void PostgresConnection::Commit() {
  PgResult result = Run("COMMIT", {}, RunKind::kCommit);
  if (std::string_view(PQcmdStatus(result.get())) == "ROLLBACK")
    RaiseProviderError(
        "the transaction was rolled back, not committed: a statement in it had failed",
        {"PostgreSQL", "25P02", DbFailure::kOther});
}

void PostgresConnection::Rollback() { Run("ROLLBACK"); }

bool PostgresConnection::InTransaction() const {
  PGTransactionStatusType status = PQtransactionStatus(db_);
  return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

std::optional<std::string> PostgresConnection::DataToken() {
  // Out of a transaction each statement has a snapshot of its own. Under
  // READ COMMITTED the count's snapshot may be a later one than this, yet
  // a snapshot equal to this one later still means nothing committed since.
  if (PQtransactionStatus(db_) != PQTRANS_INTRANS) return std::nullopt;
  PgResult result =
      Run("SELECT pg_current_snapshot()::text, pg_current_xact_id_if_assigned() IS NULL");
  if (PQntuples(result.get()) != 1 || std::string_view(PQgetvalue(result.get(), 0, 1)) != "t")
    return std::nullopt;
  return std::string(PQgetvalue(result.get(), 0, 0));
}

bool PostgresConnection::Healthy() {
  return PQstatus(db_) == CONNECTION_OK && PQtransactionStatus(db_) == PQTRANS_IDLE;
}

bool PostgresConnection::Alive(bool round_trip) { return PgIdleLinkAlive(db_, round_trip); }

std::vector<TableEntry> PostgresConnection::ListTables() { return catalog_->Tables(*this); }

std::vector<ForeignKey> PostgresConnection::ListForeignKeys() {
  return postgres::ListForeignKeys(*this);
}

std::vector<CheckConstraint> PostgresConnection::ListCheckConstraints() {
  return postgres::ListCheckConstraints(*this);
}

TableInfo PostgresConnection::DescribeTable(const TableRef& table) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    Oid oid = catalog_->Find(*this, table);
    if (oid == InvalidOid) break;
    std::shared_ptr<const Relation> relation = RelationById(oid);
    if (relation->info.exists) return relation->info;
    // The relation a kept name stood for is gone: look the name up afresh.
    catalog_->Forget();
  }
  TableInfo missing;
  missing.ref = table;
  return missing;
}

std::shared_ptr<const Relation> PostgresConnection::RelationById(Oid oid) {
  return catalog_->Describe(*this, oid);
}

RowCondition PostgresConnection::InsertRow(const TableInfo& table,
                                           const std::vector<std::string>& columns,
                                           const std::vector<Variant>& values) {
  std::string sql = InsertSql(table, columns);
  std::vector<const TableColumn*> key = KeyColumns(table);
  std::string returning;
  for (const TableColumn* column : key)
    returning += (returning.empty() ? "" : ", ") + dialect().QuoteName(column->name);
  if (key.empty()) returning = "ctid";
  PgResult result = Run(sql + " RETURNING " + returning, ParametersOf(values), RunKind::kChange);
  RowCondition condition;
  if (key.empty()) {
    condition.where = "ctid = ?";
    condition.values.push_back(Variant(std::string(PQgetvalue(result.get(), 0, 0))));
    return condition;
  }
  for (size_t i = 0; i < key.size(); ++i) {
    condition.where = And(condition.where, dialect().QuoteName(key[i]->name) + " = ?");
    int column = static_cast<int>(i);
    condition.values.push_back(
        PQgetisnull(result.get(), 0, column)
            ? Variant::Null()
            : ReadValue(PQgetvalue(result.get(), 0, column), PQftype(result.get(), column)));
  }
  return condition;
}

RowCondition PostgresConnection::LocateRow(const TableInfo& table,
                                           const std::vector<std::string>& columns,
                                           const std::vector<Variant>& values) {
  if (CoversKey(table, columns)) return KeyCondition(dialect(), table, columns, values);
  RowCondition condition = ValuesCondition(dialect(), columns, values, "IS NOT DISTINCT FROM");
  if (columns.empty() || table.is_view) return condition;
  PgResult result = Run("SELECT ctid FROM " + QualifiedName(table.ref) + " WHERE " +
                            condition.where + " LIMIT 1",
                        ParametersOf(condition.values));
  if (PQntuples(result.get()) == 0) RaiseRowChanged(kRowNotFoundMessage);
  return {"ctid = ?", {Variant(std::string(PQgetvalue(result.get(), 0, 0)))}};
}

}  // namespace tabrix::adodb::postgres
