// What a site needs to know of a database it was given without settings:
// its tables and views with their columns and keys, the declared foreign
// keys and the simple value lists of its CHECK constraints, read once
// through the facade's schema rowsets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/adodb/connection.h"

namespace tabrix::site {

struct OutlineColumn {
  std::string name;
  long type = 0;  // an adodb::DataType
  bool nullable = true;
};

struct OutlineTable {
  std::string name;
  bool view = false;
  std::vector<OutlineColumn> columns;  // in the table's own order
  std::vector<std::string> key;        // the primary key's columns, in key order
};

// One declared foreign key: the referring table's columns and the columns
// of the referred (parent) table they hold, pair by pair.
struct OutlineForeignKey {
  std::string name;
  std::string table;
  std::string parent;
  std::vector<std::pair<std::string, std::string>> columns;  // referring, referred
};

// A CHECK (column IN (...)) of a table: the values the column may hold.
struct OutlineValueList {
  std::string table;
  std::string column;
  std::vector<std::string> values;
};

struct DatabaseOutline {
  std::vector<OutlineTable> tables;  // the schema's order: tables, then views
  std::vector<OutlineForeignKey> foreign_keys;
  std::vector<OutlineValueList> value_lists;

  // The table or view named `name` (exactly, else ignoring case); null when
  // there is none.
  const OutlineTable* Find(std::string_view name) const;
};

// Reads the outline of the database `connection` is open on. Raises the
// facade's errors (a lost connection, a catalog it cannot read).
DatabaseOutline ReadOutline(adodb::Connection& connection);

// The names of the database's tables and views, in the schema's order.
std::vector<std::string> ListTableNames(adodb::Connection& connection);

// The rows of `table`, counted up to `limit`: at most limit + 1 rows are
// read, so a huge table costs no more than a small one.
std::int64_t CountRowsUpTo(adodb::Connection& connection, const std::string& table,
                           std::int64_t limit);

// `name` for a log line: control characters (a line break in a table's
// name) as \xNN, so a name cannot forge lines of its own.
std::string ShownName(std::string_view name);

// Whether `type` holds text (not a memo: long text is no caption).
bool IsShortText(long type);

}  // namespace tabrix::site
