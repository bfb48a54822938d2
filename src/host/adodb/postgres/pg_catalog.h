// The schema of a PostgreSQL database as the facade describes it, read
// from the system catalog. Only the schemas on the search path count
// (current_schemas(false)); a name matches its exact spelling, and without
// regard to case only where that leaves one name.
#pragma once

#include <libpq-fe.h>

#include <vector>

#include "host/adodb/backend.h"
#include "host/sql/name_catalog.h"

namespace tabrix::adodb::postgres {

class PostgresConnection;
struct Relation;

// Tables (and partitioned and foreign tables) "TABLE", views and
// materialized views "VIEW"; those of pg_catalog and information_schema,
// when the search path names them, "SYSTEM TABLE".
struct ListedTable {
  Oid oid = 0;
  TableEntry entry;
  bool operator==(const ListedTable&) const = default;
};
std::vector<ListedTable> ListTables(PostgresConnection& db);

// The OID of the table or view `table`: the exact spelling, else the one
// name that differs from it only in case; 0 when there is none, or when
// several differ only in case ("Secret" and "secret" for "SECRET").
Oid FindRelation(PostgresConnection& db, const TableRef& table);

// The relation `oid` with its columns in their own order: key positions
// from the primary key; identity columns and columns whose default is a
// sequence's nextval are auto keys; generated columns are generated.
// Tables have no row id: a keyless row is found by its values.
Relation ReadRelation(PostgresConnection& db, Oid oid);

// The foreign keys declared by the tables of the search path's schemas,
// by schema and table, then by constraint name; each key's column pairs in
// key order. A key a partition inherits from its partitioned table is
// listed once, on that table.
std::vector<ForeignKey> ListForeignKeys(PostgresConnection& db);

// The CHECK constraints of the tables of the search path's schemas (not
// those of domains), by schema, table and name; the clause is the condition
// as pg_get_constraintdef gives it back, without "CHECK (" and ")".
std::vector<CheckConstraint> ListCheckConstraints(PostgresConnection& db);

// The names of the tables, views, their columns (with their kinds) and the
// schemas on the search path.
sql::NameCatalog ReadNames(PostgresConnection& db);

}  // namespace tabrix::adodb::postgres
