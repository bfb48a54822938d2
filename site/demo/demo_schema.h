// The demo database's schema, described once and written for an engine.
//
// Five tables (customers, products, employees, orders, order_items) and a
// view (order_totals). Each table's first column is its whole-number key,
// since the site takes a table's first column as its key. The schema is
// engine-neutral data; a DemoDialect names each kind of column in one
// engine's SQL and adds what that engine needs to keep the rows consistent
// (SQLite does not enforce foreign keys, so its dialect adds triggers).
//
// A loader runs, in this order: DemoTableSql, the rows (demo_data.h),
// DemoFinishSql (indexes, the view, triggers): indexes built after the rows
// load faster than indexes kept up during the load.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabrix::site::demo {

enum class ColumnKind {
  kKey,       // the table's whole-number key; the demo gives every row its id
  kInteger,
  kReal,
  kMoney,     // an amount with two decimals
  kBoolean,
  kDate,      // "YYYY-MM-DD"
  kDateTime,  // "YYYY-MM-DD HH:MM:SS"
  kText,      // a short line
  kMemo,      // long text, possibly several lines
  kPicture,   // an image's bytes
};

struct DemoColumn {
  std::string_view name;
  ColumnKind kind;
  std::string_view references = {};  // the table whose key it holds, or ""
};

struct DemoTable {
  std::string_view name;
  std::vector<DemoColumn> columns;
};

// Every table of the demo, in the order they are filled (a table's
// references come before it).
const std::vector<DemoTable>& DemoTables();
// The table named `name`; raises std::logic_error for a name not listed.
const DemoTable& DemoTableNamed(std::string_view name);

// How one engine writes the schema.
struct DemoDialect {
  // The column type of each kind, indexed by ColumnKind.
  std::vector<std::string> type_names;
  // Triggers that keep the rows consistent when rows are deleted: order
  // lines go with their order, other references become NULL. For engines
  // that do not enforce foreign keys; others get the same effect from the
  // REFERENCES clauses.
  bool delete_triggers = false;
  // The foreign keys are added after the rows (one check of each whole
  // table, much faster than a check per row) rather than with the tables.
  bool references_after_rows = false;
};

// SQLite's declared types, chosen so that the site reads each column as
// the kind it is (MONEY a currency, MEMO a long text, DATETIME a stamp).
DemoDialect SqliteDialect();
// PostgreSQL's types: identity keys (the loader moves each key's sequence
// past the rows it wrote), money (read as a currency), double precision,
// date, timestamp, boolean, text and bytea. Its foreign keys delete and
// clear by themselves.
DemoDialect PostgresDialect();

// CREATE TABLE statements, one per table.
std::vector<std::string> DemoTableSql(const DemoDialect& dialect);
// The foreign keys when the dialect adds them after the rows, CREATE INDEX
// (foreign keys and the order date), the view, and the triggers when the
// dialect asks for them.
std::vector<std::string> DemoFinishSql(const DemoDialect& dialect);
// "INSERT INTO t (a, b) VALUES (?, ?)" with every column of `table`.
std::string InsertSql(const DemoTable& table);

}  // namespace tabrix::site::demo
