// A CHECK condition that limits a column to a list of values, read from the
// condition's text, so that the column can be offered as a choice.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabrix::sql {

struct InCheck {
  std::string column;               // the column's name, quotes undone
  std::vector<std::string> values;  // each value as text, in the list's order
  bool operator==(const InCheck&) const = default;
};

// The column and values of a condition that is one simple list and nothing
// else, in the forms engines write and give back:
//   col IN ('a', 'b')     "col" in (1, 2, -3)
//   ((status = ANY (ARRAY['new'::text, 'shipped'::text])))
//   ((kind)::text = ANY ((ARRAY['a'::character varying])::text[]))
// Redundant parentheses around the whole or the column are allowed; a cast
// is allowed to a text or number type only. String literals are decoded
// ('it''s' gives it's); numbers are kept as written, with their sign.
// Anything else (NOT IN, OR, AND, an expression, NULL in the list, another
// cast, a qualified column) gives nullopt.
std::optional<InCheck> ParseInCheck(std::string_view clause);

}  // namespace tabrix::sql
