// The legacy SQL for PostgreSQL.
//
// PostgresDialect is the token-by-token part: LIKE becomes ILIKE, a
// date-shaped literal compared with a date or time column becomes a
// timestamp ('2008-06-05'::timestamp, so a time of day counts against a
// date column too; one that names no real moment, '0-0-0' or '2008-2-30',
// becomes NULL::timestamp, which no row matches, where the engine would
// refuse the whole statement); the rest is the standard form.
// RewriteForPostgres adds what needs the neighbouring tokens and the
// database's names, after the shared rewrite:
// - bracketed, quoted and bare names resolve to the catalog's spelling
//   (name_catalog.h) and are quoted ("orderid" -> "OrderID"); a bare word
//   that is a keyword, a function (followed by "("), a type (after "::" or
//   AS inside CAST) or no known name stays as written; an alias given with
//   AS is quoted as written, and so is every bare use of it;
// - a number compared with a boolean column becomes TRUE (any number but
//   0) or FALSE, and one compared with a money column becomes money, as
//   PostgreSQL compares neither with a number; compared with a column that
//   is neither text nor a number (a uuid, json) both compare as text;
// - a column that holds no text (a number, a date, json, ...) before
//   ILIKE is compared as its text;
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
  std::string DateLiteralText(const DateLiteral& date) const override;
};

// The legacy SQL `sql` for PostgreSQL. Reloads the names when a bracketed
// or quoted name, or a column a date-shaped literal is compared with, is
// not among them: at most once for each.
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
