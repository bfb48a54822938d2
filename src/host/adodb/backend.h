// Provider backends: what a database engine supplies to the facade.
//
// The facade (Connection, Recordset) never calls an engine directly. A
// Provider, found by the connection string's "Provider=" name, opens a
// ConnectionBackend; the backend prepares StatementBackends, makes the row
// source of a static cursor, answers schema questions and builds the
// INSERT, UPDATE and DELETE of a keyset cursor; its Dialect rewrites the
// component's legacy SQL for the engine (and may resolve names per
// connection). Each backend lives in its own folder (sqlite/, later
// postgres/), one file per class; the defaults here are standard SQL and a
// backend overrides only what its engine does differently.
//
// One result in flight: a connection runs one statement's result at a
// time. A caller steps a statement to its end, or destroys it, before it
// prepares the next statement on the same connection, reads the catalog or
// counts; a backend may rely on that (PostgreSQL has one result per
// connection). Every SQL text the facade builds marks its parameters with
// "?", which a backend renumbers where its engine wants ("$1").
//
// Threads: a Provider is shared and must be thread-safe. A ConnectionBackend
// and its statements are used by one thread at a time (the pool hands a
// connection to one link at once). Failures raise ScriptError: kErrProvider
// with the engine's own message and a NativeError (the engine's code and an
// engine-neutral DbFailure), other numbers as each method says. No message
// repeats a connection string's password.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/adodb/connection_string.h"
#include "host/adodb/count_cache.h"
#include "host/sql/dialect.h"
#include "host/variant.h"

namespace tabrix::adodb {

class ConnectionLink;
class RowSource;

// A table or view: `schema` empty means the connection's default one.
struct TableRef {
  std::string schema;
  std::string name;
  bool operator==(const TableRef&) const = default;
};

// One column of a result, as a Field shows it.
struct ColumnInfo {
  std::string name;
  long type = 202;      // ADO DataTypeEnum
  long attributes = 0;  // ADO FieldAttributeEnum bits
  long defined_size = 0;
  TableRef origin;  // the table the column reads; empty name: none
  std::string origin_column;
  bool writable = false;  // the value may be assigned (a base-table column)
};

// One column of a table, in the table's own column order.
struct TableColumn {
  std::string name;
  std::string declared_type;
  long type = 202;
  long defined_size = 0;  // the length in the declared type ("VARCHAR(50)"), else 0
  bool not_null = false;  // NOT NULL, or part of the primary key
  int key_position = 0;   // 1-based position in the primary key, 0 outside it
  bool generated = false;
  bool auto_key = false;  // the engine assigns it (SQLite: the row id alias)
  bool has_default = false;
  std::string default_text;
};

struct TableInfo {
  TableRef ref;  // the name as the catalog spells it
  bool exists = false;
  bool is_view = false;
  bool has_row_id = false;
  std::vector<TableColumn> columns;
};

// One entry of the tables list: TABLE, VIEW or SYSTEM TABLE.
struct TableEntry {
  std::string name;
  std::string type;
  bool operator==(const TableEntry&) const = default;
};

// A declared foreign key: the rows of `table` whose `columns` hold values
// refer to the row of `referred` that holds the same values.
struct ForeignKey {
  std::string name;  // the constraint's name; empty where the engine keeps none
  TableRef table;     // the referring table
  TableRef referred;  // the referred table
  // (referring column, referred column) in key order: several for a
  // composite key.
  std::vector<std::pair<std::string, std::string>> columns;
  bool operator==(const ForeignKey&) const = default;
};

// A CHECK constraint of a table, its condition as the engine gives it back
// (the text between the parentheses of CHECK (...)).
struct CheckConstraint {
  TableRef table;
  std::string name;  // empty where the constraint has none
  std::string clause;
  bool operator==(const CheckConstraint&) const = default;
};

// A WHERE condition that addresses rows, with the values its placeholders
// take in order.
struct RowCondition {
  std::string where;
  std::vector<Variant> values;
};

// A prepared statement and the cursor over its rows.
class StatementBackend {
 public:
  virtual ~StatementBackend() = default;
  // Binds parameter `position` (1-based); call before the first Step.
  // Raises 13 for arrays and objects.
  virtual void Bind(int position, const Variant& value) = 0;
  // Runs to the next row: true when there is one, false at the end.
  virtual bool Step() = 0;
  virtual int ColumnCount() const = 0;
  // The result's columns. Call after the first Step: a column that is an
  // expression takes the type of its value in the current row (its first).
  virtual std::vector<ColumnInfo> DescribeColumns() = 0;
  // Column `column` of the current row, converted for the ADO `type`.
  virtual Variant Value(int column, long type) const = 0;
};

class ConnectionBackend {
 public:
  virtual ~ConnectionBackend() = default;

  virtual const sql::Dialect& dialect() const = 0;
  // The component's legacy SQL in this engine's dialect.
  virtual std::string Rewrite(std::string_view legacy_sql) const;

  // Prepares one statement in the engine's dialect; text after the first
  // statement is ignored. Raises 3001 when the text holds a NUL byte.
  virtual std::unique_ptr<StatementBackend> Prepare(std::string_view sql) = 0;
  // Runs statements that return no rows, binding `values` to the first;
  // returns the rows changed by the last one. Raises 3001, and runs
  // nothing, when the text holds a NUL byte.
  virtual std::int64_t Execute(std::string_view sql, const std::vector<Variant>& values = {}) = 0;

  // The row source of a static read-only cursor over `sql` (in the
  // engine's dialect) on `link`, whose backend is this connection: it holds
  // the link's read snapshot from its start to its Close and reads no more
  // rows than it is asked for. `window` is how many rows its reader takes
  // at once (the recordset's cache size when it opens): above 1, each run
  // of the query may be limited to that many rows (list_window.h). Raises
  // kErrProvider when the query fails.
  virtual std::unique_ptr<RowSource> OpenStaticRows(std::shared_ptr<ConnectionLink> link,
                                                    std::string sql, std::int64_t window) = 0;

  // Transactions: a read snapshot, or a write that excludes other writers.
  virtual void BeginRead() = 0;
  virtual void BeginWrite() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;
  // Savepoints inside an open transaction; the defaults run the standard
  // SAVEPOINT, RELEASE SAVEPOINT and ROLLBACK TO SAVEPOINT.
  virtual void Savepoint(std::string_view name);
  virtual void ReleaseSavepoint(std::string_view name);
  virtual void RollbackToSavepoint(std::string_view name);
  // Whether the connection can serve another borrower; the pool asks when
  // it is given back (after any rollback). The default says yes.
  virtual bool Healthy() { return true; }
  // Whether an idle connection still reaches its database; the pool asks
  // before it lends one. Cheap without `round_trip` (what the link already
  // says); with it, one trivial exchange with the server. Never raises.
  // The default says yes.
  virtual bool Alive([[maybe_unused]] bool round_trip) { return true; }

  // A token of the rows the connection's open read snapshot sees: two equal
  // tokens see the same rows, and any commit that could change them changes
  // it. None when no such snapshot is open (no transaction, or none that
  // has read yet) or when this connection's own uncommitted writes may be
  // in what it reads. Counts are cached under it. The default has none.
  virtual std::optional<std::string> DataToken() { return std::nullopt; }
  // The counts made on this connection (count_cache.h).
  CountCache& count_cache() { return count_cache_; }

  // Tables, views and system tables of the default schema, in no order.
  virtual std::vector<TableEntry> ListTables() = 0;
  // The table or view named `table` (matched as the engine matches names);
  // exists is false when there is none.
  virtual TableInfo DescribeTable(const TableRef& table) = 0;
  // The foreign keys declared by the tables of ListTables, read afresh on
  // each call; ordered by referring table, then in the order the table
  // declares them. The default (an engine that reads none) has none.
  virtual std::vector<ForeignKey> ListForeignKeys() { return {}; }
  // The CHECK constraints of the tables of ListTables, table and column
  // constraints alike, read afresh on each call; ordered by table, then as
  // declared. The default has none.
  virtual std::vector<CheckConstraint> ListCheckConstraints() { return {}; }

  // Inserts one row (`columns` empty: all defaults) and returns a condition
  // that finds it again.
  virtual RowCondition InsertRow(const TableInfo& table, const std::vector<std::string>& columns,
                                 const std::vector<Variant>& values) = 0;
  // A condition for the one row of `table` whose `columns` hold `values`:
  // the primary key when `columns` cover it, else the engine's row address
  // of the first matching row. Raises kErrProvider when no row matches.
  virtual RowCondition LocateRow(const TableInfo& table, const std::vector<std::string>& columns,
                                 const std::vector<Variant>& values) = 0;
  // Sets `columns` to `values` in the rows of `table` that `where` finds;
  // returns how many rows changed. The default is a standard UPDATE.
  virtual std::int64_t UpdateRows(const TableInfo& table, const std::vector<std::string>& columns,
                                  const std::vector<Variant>& values, const RowCondition& where);
  // Deletes the rows of `table` that `where` finds; returns how many. The
  // default is a standard DELETE.
  virtual std::int64_t DeleteRows(const TableInfo& table, const RowCondition& where);

  // `table` quoted for SQL, with its schema when it has one.
  std::string QualifiedName(const TableRef& table) const;
  // "INSERT INTO table (columns) VALUES (?, ...)", or with DEFAULT VALUES
  // when `columns` is empty.
  std::string InsertSql(const TableInfo& table, const std::vector<std::string>& columns) const;

 private:
  CountCache count_cache_;
};

class Provider {
 public:
  virtual ~Provider() = default;
  // The "Provider=" name it answers to (matched ignoring case).
  virtual std::string_view Name() const = 0;
  // Opens a new connection. Raises 3001 when the string lacks what the
  // provider needs, kErrProvider when the engine cannot open it; never
  // creates a database.
  virtual std::unique_ptr<ConnectionBackend> Connect(const ConnectionString& parts) const = 0;
};

// The messages the facade raises when a row to change is gone, or when
// more than the one row was changed.
inline constexpr std::string_view kRowNotFoundMessage =
    "Row cannot be located for updating. Some values may have been changed since it was last "
    "read.";
inline constexpr std::string_view kTooManyRowsMessage =
    "Key column information is insufficient or incorrect. Too many rows were affected by update.";

// The columns of `table`'s primary key, in key order.
std::vector<const TableColumn*> KeyColumns(const TableInfo& table);
// The position of `name` in `columns`: its exact spelling, else the first
// that differs only in case; -1 when absent.
int IndexOfName(const std::vector<std::string>& columns, std::string_view name);
// The condition "each key column = ?" with its values taken from `values`
// (one per name of `columns`; a key column not among them takes Null).
RowCondition KeyCondition(const sql::Dialect& dialect, const TableInfo& table,
                          const std::vector<std::string>& columns,
                          const std::vector<Variant>& values);
// Whether `columns` name every column of `table`'s primary key (false
// when it has none).
bool CoversKey(const TableInfo& table, const std::vector<std::string>& columns);
// The condition "each of `columns` <same> ?" with `values`, where `same`
// is the engine's comparison that also matches Null with Null.
RowCondition ValuesCondition(const sql::Dialect& dialect, const std::vector<std::string>& columns,
                             const std::vector<Variant>& values, std::string_view same);
// Drops the counts `db` keeps when it goes out of scope: around a write
// through the facade, which the data token may not show at once.
struct DropCachedCountsAtEnd {
  ConnectionBackend& db;
  ~DropCachedCountsAtEnd() { db.count_cache().Clear(); }
};

// What `db`'s count cache holds for the query `sql` under the data token of
// the snapshot open on `db`, and that token (none: counts are not kept). A
// static cursor asks this before it puts down its running statement: on
// SQLite it runs no statement, on PostgreSQL one that reads the token.
struct CachedCount {
  std::optional<std::int64_t> count;
  std::optional<std::string> token;
};
CachedCount FindCachedCount(ConnectionBackend& db, const std::string& sql);
// The number of rows of the query `sql` on `db`, counted without
// evaluating its select list where that cannot change the count, and kept
// in `db`'s count cache under `token` when there is one.
std::int64_t CountQueryRows(ConnectionBackend& db, const std::string& sql,
                            const std::optional<std::string>& token = std::nullopt);

// Raises kErrProvider with `message` and the failure kRowChanged.
[[noreturn]] void RaiseRowChanged(std::string_view message);

}  // namespace tabrix::adodb
