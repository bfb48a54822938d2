// The schema rowsets of Connection.OpenSchema, built in memory from the
// provider's catalog with the usual ADO column names.
#pragma once

#include <memory>

#include "host/adodb/backend.h"
#include "host/adodb/recordset.h"

namespace tabrix::adodb {

// Tables (schema 20): TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE,
// TABLE_GUID, DESCRIPTION, TABLE_PROPID, DATE_CREATED, DATE_MODIFIED;
// sorted by TABLE_TYPE, then TABLE_NAME ignoring case. Restrictions
// (catalog, schema, table name ignoring case, table type exactly).
std::shared_ptr<Recordset> TablesRowset(ConnectionBackend& connection, const Variant& restrictions);

// Columns (schema 4): TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME,
// COLUMN_GUID, COLUMN_PROPID, ORDINAL_POSITION, COLUMN_HASDEFAULT,
// COLUMN_DEFAULT, COLUMN_FLAGS, IS_NULLABLE, DATA_TYPE, ... DESCRIPTION;
// each table's columns in its own order (tables in the tables rowset's
// order). Restrictions (catalog, schema, table name, column name; names
// ignoring case). A table that does not exist gives no rows.
std::shared_ptr<Recordset> ColumnsRowset(ConnectionBackend& connection,
                                         const Variant& restrictions);

// Primary keys (schema 28): TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
// COLUMN_NAME, COLUMN_GUID, COLUMN_PROPID, ORDINAL, PK_NAME; the key's
// columns in key order. A table without a declared key has no rows, and
// neither has a view. Restrictions (catalog, schema, table name); the table
// name is required.
std::shared_ptr<Recordset> PrimaryKeysRowset(ConnectionBackend& connection,
                                             const Variant& restrictions);

// Foreign keys (schema 27): PK_TABLE_CATALOG, PK_TABLE_SCHEMA,
// PK_TABLE_NAME, PK_COLUMN_NAME, FK_TABLE_CATALOG, FK_TABLE_SCHEMA,
// FK_TABLE_NAME, FK_COLUMN_NAME, ORDINAL (1-based within the key), FK_NAME;
// one row per column pair, in the order of ListForeignKeys. A schema is
// Null where the engine has none, a name Null where the key has none.
// Restrictions (PK catalog, PK schema, PK table name, FK catalog, FK
// schema, FK table name; table names ignoring case).
std::shared_ptr<Recordset> ForeignKeysRowset(ConnectionBackend& connection,
                                             const Variant& restrictions);

// Check constraints (schema 5): CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA,
// CONSTRAINT_NAME, CHECK_CLAUSE, DESCRIPTION and TABLE_NAME (the table the
// constraint belongs to); in the order of ListCheckConstraints. Restrictions
// (catalog, schema, constraint name; the name exactly).
std::shared_ptr<Recordset> CheckConstraintsRowset(ConnectionBackend& connection,
                                                  const Variant& restrictions);

}  // namespace tabrix::adodb
