// What the connections to one PostgreSQL database have read of its catalog
// (the rewrite's names, which relation a table name stands for, relation
// descriptions), kept and shared by every connection opened with the same
// connection string.
//
// PostgreSQL has no cheap schema version to check before each use, so what
// is kept is trusted until something shows it is out of date:
// - a name the kept names lack is looked up afresh before it is called
//   unknown (Reload); when the names read then differ from the kept ones,
//   or none were kept, the rest is forgotten too;
// - a table name not among the kept ones is looked up afresh, and a name
//   that finds nothing is not kept;
// - a statement that fails for a reason of the schema (SQLSTATE class 42:
//   an undefined table or column, a privilege, a type that no longer fits)
//   forgets everything (Forget), on every connection that shares it;
// - the tables list is read on every use (the menu shows tables made or
//   dropped at once), with each relation's OID, and when it differs from
//   the last one read (a table made, dropped, renamed or made anew under
//   its old name), the rest is forgotten.
//
// Shared per connection string rather than per connection: one failed
// statement then brings every connection up to date, where per-connection
// caches would each fail once; and a database of many tables is read and
// held once, not once per pooled connection. Only the schemas of the search
// path are read, which the connection string fixes (a session's temporary
// tables are not among them). Thread-safe: reads run outside the lock, and
// what a read started before a Forget brings back is not kept.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/adodb/backend.h"
#include "host/adodb/postgres/pg_catalog.h"
#include "host/sql/name_catalog.h"

namespace tabrix::adodb::postgres {

class PostgresConnection;
struct Relation;

class CatalogCache {
 public:
  // The cache of the connections opened with `connection_string`: the one
  // they share while any of them holds it.
  static std::shared_ptr<CatalogCache> For(const std::string& connection_string);

  // The names, read through `db` when none are kept.
  std::shared_ptr<const sql::NameCatalog> Names(PostgresConnection& db);
  // The names read afresh through `db`; names that differ from the kept
  // ones (or none kept) forget the rest.
  std::shared_ptr<const sql::NameCatalog> ReloadNames(PostgresConnection& db);
  // The tables list, read through `db` each time; a different list forgets
  // the rest.
  std::vector<TableEntry> Tables(PostgresConnection& db);
  // The OID of the table or view `table` (FindRelation); 0 when none.
  Oid Find(PostgresConnection& db, const TableRef& table);
  // The relation `oid` (ReadRelation).
  std::shared_ptr<const Relation> Describe(PostgresConnection& db, Oid oid);
  // Forgets everything kept.
  void Forget();

 private:
  void ForgetLocked();

  std::mutex mutex_;
  std::uint64_t generation_ = 0;  // moves on at each Forget
  std::shared_ptr<const sql::NameCatalog> names_;
  std::optional<std::vector<ListedTable>> tables_;  // sorted
  std::map<std::pair<std::string, std::string>, Oid> found_;  // by schema, name as asked
  std::map<Oid, std::shared_ptr<const Relation>> relations_;
};

}  // namespace tabrix::adodb::postgres
