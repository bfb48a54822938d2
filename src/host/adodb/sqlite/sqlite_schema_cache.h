// What one SQLite connection has read of its database's schema (the tables
// list, table descriptions, the names for the rewrite), kept while the
// schema stays the same.
//
// Every use starts with Check(), which reads the schema version (a header
// read, no catalog scan) and forgets everything when it has moved, so a
// table added, altered or dropped by another connection or process is seen
// by the next use, never decided by what was read before. The version of
// main is read at every check; that of temp, which only this connection can
// change, only after this connection ran a statement that writes
// (NoteWrite). What is read after a check is kept under the version read
// before it: were the schema to change in between, the next check finds a
// newer version and reads again, so nothing is kept under a version newer
// than what it was read at.
//
// The cache belongs to one connection (one thread at a time), not to the
// database: the temp schema is the connection's own, and a file replaced
// under the same path may start over at the same version, which a cache
// shared by path could not tell apart.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/adodb/backend.h"
#include "host/adodb/sqlite/sqlite_handle.h"
#include "host/sql/name_catalog.h"

namespace tabrix::adodb::sqlite {

class SchemaCache : public sql::NameSource {
 public:
  explicit SchemaCache(sqlite3* db) : db_(db) {}

  // Reads the schema version and forgets what was read under another.
  // Raises as a statement does when the database cannot be read; what was
  // kept is forgotten then too.
  void Check();
  // This connection ran, or is running, a statement that may change the
  // schema: the next check reads the temp version too.
  void NoteWrite() { temp_may_change_ = true; }

  // After a Check(): the tables list and the description of `table`, read
  // at the first use and kept (a table that does not exist too).
  const std::vector<TableEntry>& Tables();
  const TableInfo& Table(const TableRef& table);

  // The rewrite's names, after a check. When the database cannot be read
  // the names are empty: the statement's own error follows.
  const sql::NameCatalog& Names() override;
  // The same: the check already tells whether the names are current.
  const sql::NameCatalog& Reload() override { return Names(); }

 private:
  std::int64_t ReadVersion(StatementHandle& statement, const char* sql);
  void Forget();

  sqlite3* db_;
  StatementHandle main_version_;  // prepared once, reset after each read
  StatementHandle temp_version_;
  std::int64_t main_ = -1;  // the versions what is kept was read at; -1: none
  std::int64_t temp_ = -1;
  bool temp_may_change_ = true;

  std::optional<std::vector<TableEntry>> tables_;
  std::map<std::pair<std::string, std::string>, TableInfo> described_;  // by schema, name
  std::optional<sql::NameCatalog> names_;
  sql::NameCatalog no_names_;
};

}  // namespace tabrix::adodb::sqlite
