// The declared constraints of a SQLite database's tables: foreign keys from
// PRAGMA foreign_key_list, CHECK constraints from each table's CREATE TABLE
// text (SQLite keeps no other record of them).
#pragma once

#include <sqlite3.h>

#include <vector>

#include "host/adodb/backend.h"

namespace tabrix::adodb::sqlite {

// The foreign keys of the tables of main, by table name, then in the order
// each table declares them. SQLite keeps no constraint names: every name is
// empty. The referred table is spelled as the catalog spells it when it
// exists; a key that names no referred columns refers to that table's
// primary key, and is left out when the table or its key is missing.
std::vector<ForeignKey> ListForeignKeys(sqlite3* db);

// The CHECK constraints of the tables of main, by table name, then as
// written.
std::vector<CheckConstraint> ListCheckConstraints(sqlite3* db);

}  // namespace tabrix::adodb::sqlite
