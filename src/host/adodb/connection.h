// Connection: an open link to a database: schema questions, statements,
// transactions, and the connection its recordsets run on.
//
// Open(connection_string) finds the provider by the string's "Provider=" and
// opens the database without ever creating one: a missing file is an error.
// A recordset opened with this object as its connection runs on the same
// connection, inside its transaction. BeginTrans returns the new nesting
// level (1 for the outermost); a nested one is a savepoint. CommitTrans and
// RollbackTrans end the innermost, and raise 3219 when none is open. Close
// rolls back what is still open; recordsets on the connection then raise
// 3704.
// OpenSchema returns an in-memory recordset:
//   4 (columns): TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME,
//     ORDINAL_POSITION, DATA_TYPE, IS_NULLABLE, ... in the table's own
//     column order; restrictions (catalog, schema, table name[, column]).
//   20 (tables): TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE
//     ("TABLE", "VIEW" or "SYSTEM TABLE"), sorted by TABLE_TYPE, then
//     TABLE_NAME ignoring case; restrictions (catalog, schema, table name,
//     table type).
// Errors as for Recordset.
#pragma once

#include <chrono>
#include <optional>
#include <memory>
#include <string>

#include "host/adodb/connection_link.h"
#include "host/adodb/recordset.h"
#include "host/object.h"
#include "host/variant.h"

namespace tabrix::adodb {

enum SchemaEnum : long {
  kSchemaColumns = 4,
  kSchemaCheckConstraints = 5,
  kSchemaTables = 20,
  kSchemaForeignKeys = 27,
  kSchemaPrimaryKeys = 28
};

class Connection : public Object {
 public:
  std::string_view ClassName() const override { return "Connection"; }

  virtual void Open(const Variant& connection_string) = 0;
  virtual void Close() = 0;
  virtual long State() const = 0;
  virtual const std::string& ConnectionString() const = 0;
  // `restrictions` is Empty or an Array of criteria (Empty = unrestricted).
  virtual std::shared_ptr<Recordset> OpenSchema(const Variant& query_type,
                                                const Variant& restrictions) = 0;
  // Runs a statement that returns no rows; returns the rows affected. On
  // an open transaction it is atomic through a savepoint.
  virtual long long Execute(const Variant& sql) = 0;

  virtual long BeginTrans() = 0;
  virtual void CommitTrans() = 0;
  virtual void RollbackTrans() = 0;

  // The link the connection holds; raises 3704 while it is closed.
  virtual std::shared_ptr<ConnectionLink> Link() const = 0;
};

// A new, closed connection.
std::shared_ptr<Connection> NewConnection();
// An open connection over `link` (a recordset's ActiveConnection).
std::shared_ptr<Connection> ConnectionOn(std::shared_ptr<ConnectionLink> link);

// The folder a relative SQLite "Data Source" is taken from; the current
// folder until set. Set at start-up, before other threads run.
void SetDataSourceBase(std::string folder);
const std::string& DataSourceBase();

// The longest one statement may run; a statement still running then is
// interrupted and raises kErrProvider with DbFailure::kTimeout. Zero (the
// default): no limit. Applies to every statement started after the set, on
// every thread; set at start-up.
void SetStatementTimeout(std::chrono::milliseconds timeout);
std::chrono::milliseconds StatementTimeout();

// While one lives on a thread, a statement that goes on stepping there (a
// cursor read a piece at a time, with waits between the pieces) is timed
// from the scope's start instead of its own first step: an answer streamed
// to a client piece by piece is bounded per piece, and its whole length by
// whoever streams it. Engines that time each fetch on their own (PostgreSQL)
// need no such scope.
class StatementPiece {
 public:
  StatementPiece();
  ~StatementPiece();
  StatementPiece(const StatementPiece&) = delete;
  StatementPiece& operator=(const StatementPiece&) = delete;
  // The start of the innermost scope on this thread; nullopt outside any.
  static std::optional<std::chrono::steady_clock::time_point> Start();

 private:
  std::optional<std::chrono::steady_clock::time_point> outer_;
};

// The longest a provider that connects over a network waits for a new
// connection to open (PostgreSQL), 5 seconds unless set; zero or less sets
// the default again. Set at start-up.
void SetConnectTimeout(std::chrono::milliseconds timeout);
std::chrono::milliseconds ConnectTimeout();

}  // namespace tabrix::adodb
