// The legacy SQL for PostgreSQL.
//
// PostgresDialect is the token-by-token part: LIKE becomes ILIKE, the rest
// is the standard form. RewriteForPostgres adds what needs the neighbouring
// tokens and the database's names, after the shared rewrite:
// - bracketed, quoted and bare names resolve without regard to case to the
//   catalog's spelling and are quoted ("orderid" -> "OrderID"); a bare word
//   that is a keyword, a function (followed by "("), a type (after "::" or
//   AS inside CAST) or no known name stays as written; an alias given with
//   AS is quoted as written, and so is every bare use of it;
// - a boolean column compared (=, <>, !=) with a number compares with TRUE
//   (any number but 0) or FALSE, as PostgreSQL compares no boolean with an
//   integer;
// - a date-shaped literal that is compared (a comparison operator or
//   BETWEEN beside it) becomes a timestamp: '2008-06-05'::timestamp, so a
//   time of day counts against a date column too; one that names no real
//   moment ('0-0-0', '2008-2-30') becomes NULL::timestamp, which no row
//   matches, where the engine would refuse the whole statement;
// - an ILIKE pattern literal gets ESCAPE '', so a backslash in it is the
//   character itself, as in the other engines;
// - "?" placeholders are numbered $1, $2, ...
// Every other byte passes through; string literals stay byte for byte
// (the server runs with standard_conforming_strings on).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/sql/dialect.h"
#include "host/sql/name_catalog.h"

namespace tabrix::sql {

class PostgresDialect : public Dialect {
 public:
  std::string Word(std::string_view word) const override;
};

// Where the rewrite finds the database's names.
class NameSource {
 public:
  virtual ~NameSource() = default;
  // The names as last read.
  virtual const NameCatalog& Names() = 0;
  // Reads the names again (a name was not found) and returns them.
  virtual const NameCatalog& Reload() = 0;
};

// The legacy SQL `sql` for PostgreSQL. Reloads the names at most once, when
// a bracketed or quoted name is not among them.
std::string RewriteForPostgres(std::string_view sql, NameSource& names);

}  // namespace tabrix::sql

namespace tabrix::sql {

// `sql` with each "?" placeholder outside literals, names and comments
// numbered for PostgreSQL: $1, $2, ...
std::string NumberPlaceholders(std::string_view sql);

// The statements of `sql`, cut at each ";" outside literals, names,
// comments and parentheses; blank pieces are left out.
std::vector<std::string_view> SplitStatements(std::string_view sql);

}  // namespace tabrix::sql
