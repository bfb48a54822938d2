// Dialect: what one database engine writes differently from the legacy SQL
// the component produces.
//
// The rewrite (rewriter.h) walks the shared tokens and asks the dialect for
// each piece that may differ: bracketed names, bare words, string literals,
// the clause that replaces "top N". The defaults here are standard SQL and
// are what SQLite needs; a provider overrides only what its engine does
// differently (PostgreSQL: names matched to the catalog, LIKE as ILIKE,
// parameters renumbered by the backend). A dialect holds no per-query state and may be used
// by several threads at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/sql/date_literal.h"

namespace tabrix::sql {

class Dialect {
 public:
  virtual ~Dialect() = default;

  // A name in standard double quotes, a `"` inside doubled.
  virtual std::string QuoteName(std::string_view name) const;
  // A bare word (keyword or unquoted name) as the engine needs it; the
  // default keeps it as written.
  virtual std::string Word(std::string_view word) const;
  // A whole string literal for the engine, given the text between the
  // apostrophes as written (an apostrophe still doubled). The default turns
  // a doubled bar into one bar and keeps every other byte.
  virtual std::string StringLiteral(std::string_view inner) const;
  // The engine's date for a date-shaped literal compared with a date or
  // time column; the default is the zero-padded ISO text, quoted.
  virtual std::string DateLiteralText(const DateLiteral& date) const;
  // The clause appended to a (sub)query in place of "top N"; `count` is
  // the text that followed "top". The default is " LIMIT count".
  virtual std::string LimitClause(std::string_view count) const;
  // The clause appended to a query so that it starts at row `offset`
  // (0-based). The default is " OFFSET offset".
  virtual std::string OffsetClause(std::int64_t offset) const;
};

// SQLite takes the standard forms; OFFSET needs a LIMIT before it.
class SqliteDialect : public Dialect {
 public:
  std::string OffsetClause(std::int64_t offset) const override;
};

}  // namespace tabrix::sql
