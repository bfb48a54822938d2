#include "host/adodb/sqlite/sqlite_connection.h"

#include <algorithm>

#include "host/adodb/sqlite/sqlite_constraints.h"
#include "host/adodb/sqlite/sqlite_handle.h"
#include "host/adodb/sqlite/sqlite_statement.h"
#include "host/adodb/sqlite/sqlite_types.h"
#include "host/adodb/window_rows.h"
#include "host/locale/locale.h"
#include "host/sql/rewriter.h"

namespace tabrix::adodb::sqlite {

namespace {

int CollectReads(void* user_data, int action, const char* table, const char*, const char* schema,
                 const char* accessor) {
  if (action == SQLITE_READ && table != nullptr) {
    auto* reads = static_cast<TableReads*>(user_data);
    std::string key = std::string(schema == nullptr ? "main" : schema) + "." + table;
    for (char& c : key)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    (accessor == nullptr ? reads->direct : reads->through_view).insert(std::move(key));
  }
  return SQLITE_OK;
}

// A name of the row id that no column of `table` hides.
std::string RowIdName(const TableInfo& table) {
  for (const char* name : {"rowid", "_rowid_", "oid"}) {
    bool hidden = false;
    for (const TableColumn& column : table.columns)
      hidden = hidden || EqualsIgnoreCase(column.name, name);
    if (!hidden) return name;
  }
  return "rowid";
}

}  // namespace

SqliteConnection::SqliteConnection(sqlite3* db)
    : db_(db), schema_(std::make_unique<SchemaCache>(db)) {}

SqliteConnection::~SqliteConnection() {
  schema_.reset();
  sqlite3_close_v2(db_);
}

const sql::Dialect& SqliteConnection::dialect() const {
  static const sql::SqliteDialect kDialect;
  return kDialect;
}

std::string SqliteConnection::Rewrite(std::string_view legacy_sql) const {
  return sql::Rewrite(legacy_sql, dialect(), schema_.get());
}

std::unique_ptr<StatementBackend> SqliteConnection::Prepare(std::string_view sql) {
  RefuseNulInSql(sql);
  TableReads reads;
  sqlite3_set_authorizer(db_, CollectReads, &reads);
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &raw, nullptr);
  sqlite3_set_authorizer(db_, nullptr, nullptr);
  StatementHandle statement(raw);
  if (rc != SQLITE_OK) RaiseSqliteError(db_);
  if (!statement) RaiseNoStatement();
  return std::make_unique<SqliteStatement>(*this, std::move(statement), std::move(reads));
}

std::int64_t SqliteConnection::Execute(std::string_view sql, const std::vector<Variant>& values) {
  RefuseNulInSql(sql);
  std::int64_t changes = 0;
  const char* next = sql.data();
  const char* end = sql.data() + sql.size();
  bool first = true;
  while (next < end) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db_, next, static_cast<int>(end - next), &raw, &tail) != SQLITE_OK)
      RaiseSqliteError(db_);
    StatementHandle statement(raw);
    // A tail that does not move means SQLite reads no further: the text
    // ends there, else the loop would spin on the same bytes.
    next = tail != nullptr && tail > next ? tail : end;
    if (!statement) continue;  // blanks or a comment
    if (first) {
      for (size_t i = 0; i < values.size(); ++i)
        BindValue(statement.get(), static_cast<int>(i) + 1, values[i]);
      first = false;
    }
    std::int64_t before = sqlite3_total_changes64(db_);
    Deadline deadline = DeadlineFromNow();
    if (!sqlite3_stmt_readonly(statement.get())) schema_->NoteWrite();
    while (StepOrRaise(db_, statement.get(), deadline)) {
    }
    // The rows this statement changed itself, never what its triggers did:
    // sqlite3_changes64 counts the last INSERT, UPDATE or DELETE alone, and
    // keeps that count across other statements, so it is read only when
    // this one changed anything at all.
    changes = sqlite3_total_changes64(db_) != before ? sqlite3_changes64(db_) : 0;
  }
  return changes;
}

std::unique_ptr<RowSource> SqliteConnection::OpenStaticRows(std::shared_ptr<ConnectionLink> link,
                                                            std::string sql, std::int64_t window) {
  return std::make_unique<WindowRows>(std::move(link), std::move(sql), window);
}

bool SqliteConnection::Healthy() {
  if (sqlite3_get_autocommit(db_) == 0) return false;
  // The schema cache keeps its statements prepared; none may be mid-run.
  for (sqlite3_stmt* s = sqlite3_next_stmt(db_, nullptr); s != nullptr;
       s = sqlite3_next_stmt(db_, s))
    if (sqlite3_stmt_busy(s)) return false;
  return true;
}

void SqliteConnection::Run(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) RaiseSqliteError(db_);
}

void SqliteConnection::BeginRead() { Run("BEGIN"); }
void SqliteConnection::BeginWrite() { Run("BEGIN IMMEDIATE"); }
void SqliteConnection::Commit() { Run("COMMIT"); }
void SqliteConnection::Rollback() { Run("ROLLBACK"); }
bool SqliteConnection::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

std::optional<std::string> SqliteConnection::DataToken() {
  // Out of a transaction each statement reads in a snapshot of its own; a
  // deferred transaction has none until its first statement steps; a write
  // transaction may hold changes of its own no version shows yet.
  if (sqlite3_get_autocommit(db_) != 0 || sqlite3_txn_state(db_, nullptr) != SQLITE_TXN_READ)
    return std::nullopt;
  // The connection's own changes to its temporary tables move no version
  // of a shared file; its change count moves with them.
  std::string token = std::to_string(sqlite3_total_changes64(db_));
  for (int i = 0; const char* schema = sqlite3_db_name(db_, i); ++i) {
    bool temp = i == 1;
    // A database the snapshot has not read yet would be read at a later
    // version than the one read here.
    if (!temp && sqlite3_txn_state(db_, schema) != SQLITE_TXN_READ) return std::nullopt;
    unsigned int version = 0;
    if (sqlite3_file_control(db_, schema, SQLITE_FCNTL_DATA_VERSION, &version) != SQLITE_OK) {
      if (temp) continue;  // no temporary database opened yet
      return std::nullopt;
    }
    token += ':' + std::to_string(version);
  }
  return token;
}

std::vector<TableEntry> SqliteConnection::ListTables() {
  schema_->Check();
  return schema_->Tables();
}

TableInfo SqliteConnection::DescribeTable(const TableRef& table) {
  schema_->Check();
  return schema_->Table(table);
}

std::vector<ForeignKey> SqliteConnection::ListForeignKeys() {
  return sqlite::ListForeignKeys(db_);
}

std::vector<CheckConstraint> SqliteConnection::ListCheckConstraints() {
  return sqlite::ListCheckConstraints(db_);
}

RowCondition SqliteConnection::InsertRow(const TableInfo& table,
                                         const std::vector<std::string>& columns,
                                         const std::vector<Variant>& values) {
  std::string sql = InsertSql(table, columns);
  Execute(sql, values);
  if (table.has_row_id)
    return {dialect().QuoteName(RowIdName(table)) + " = ?",
            {Variant(static_cast<long long>(sqlite3_last_insert_rowid(db_)))}};
  return KeyCondition(dialect(), table, columns, values);
}

RowCondition SqliteConnection::LocateRow(const TableInfo& table,
                                         const std::vector<std::string>& columns,
                                         const std::vector<Variant>& values) {
  if (CoversKey(table, columns)) return KeyCondition(dialect(), table, columns, values);
  // No key to go by: match every value (IS also matches Null), then pin the
  // first such row by its row id.
  RowCondition condition = ValuesCondition(dialect(), columns, values, "IS");
  if (!table.has_row_id || columns.empty()) return condition;
  std::string row_id = dialect().QuoteName(RowIdName(table));
  StatementHandle statement =
      PrepareOrRaise(db_, "SELECT " + row_id + " FROM " + QualifiedName(table.ref) + " WHERE " +
                              condition.where + " LIMIT 1");
  for (size_t i = 0; i < condition.values.size(); ++i)
    BindValue(statement.get(), static_cast<int>(i) + 1, condition.values[i]);
  if (!StepOrRaise(db_, statement.get()))
    RaiseRowChanged(kRowNotFoundMessage);
  return {row_id + " = ?",
          {Variant(static_cast<long long>(sqlite3_column_int64(statement.get(), 0)))}};
}

}  // namespace tabrix::adodb::sqlite
