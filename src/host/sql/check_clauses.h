// The CHECK constraints a CREATE TABLE statement declares, read from its
// text: SQLite keeps no catalog of them, only the statement as written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tabrix::sql {

struct CheckClause {
  std::string name;    // after CONSTRAINT; empty when the constraint has none
  std::string clause;  // the text between CHECK's parentheses, as written
  bool operator==(const CheckClause&) const = default;
};

// The CHECK constraints of `create_table_sql`, table and column constraints
// alike, in the order they are written. Quotes, comments and nested
// parentheses are respected; a CHECK left open runs to the end of the text.
// Text that is no CREATE TABLE with a column list gives none.
std::vector<CheckClause> CheckClauses(std::string_view create_table_sql);

// The text between the parentheses of the first CHECK (...) in
// `definition` ("CHECK ((a > 0)) NOT VALID" gives "(a > 0)"); empty when it
// has none.
std::string CheckCondition(std::string_view definition);

}  // namespace tabrix::sql
