// The schema of a SQLite database as the facade describes it: the list of
// tables and views, and one table's columns in their own order.
#pragma once

#include <sqlite3.h>

#include <vector>

#include "host/adodb/backend.h"
#include "host/sql/name_catalog.h"

namespace tabrix::adodb::sqlite {

// Tables and views of the main database; sqlite_ internal tables (such as
// sqlite_sequence) are "SYSTEM TABLE".
std::vector<TableEntry> ListTables(sqlite3* db);

// The table or view `table` (names match ignoring ASCII case, as SQLite
// matches them; an empty schema looks in temp, then main). Columns come
// from PRAGMA table_xinfo; the INTEGER PRIMARY KEY of a row id table is
// its auto_key; generated and hidden columns are marked generated; key
// columns are NOT NULL.
TableInfo DescribeTable(sqlite3* db, const TableRef& table);

// The tables and views of main and temp with their columns, for the
// rewrite, which asks only which columns hold dates (DATE, DATETIME,
// TIMESTAMP and the other declared types read as dates). A table whose
// columns cannot be read (a view over a table dropped since) is left out.
sql::NameCatalog ReadNames(sqlite3* db);

}  // namespace tabrix::adodb::sqlite
