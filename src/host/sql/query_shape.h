// The shape of a SELECT, as a cursor needs it to count and page a result
// without reading all of it.
//
// The analysis looks at the top level of the query only (sub-queries are
// opaque) and works on SQL already in the engine's dialect.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/sql/dialect.h"

namespace tabrix::sql {

// A query that counts the rows of `sql` without evaluating its select
// list: the top-level select list becomes 1 and a top-level ORDER BY is
// dropped. nullopt when that would change the count: the query is not one
// plain SELECT ... FROM, or it has DISTINCT, GROUP BY, HAVING, an aggregate
// or window function at the top level, LIMIT/OFFSET, or a compound
// (UNION, INTERSECT, EXCEPT); or when a name after the FROM is an alias of
// the select list (an engine may let WHERE name one), so the choice needs
// no trial prepare, which would abort a PostgreSQL transaction.
std::optional<std::string> FastCountQuery(std::string_view sql);

// "SELECT COUNT(*) FROM (sql)": always right, and it may evaluate the
// select list.
std::string CountQuery(std::string_view sql);

// A list query taken apart for paging: "SELECT list FROM table [WHERE ...]
// [ORDER BY ...]" over one table, with nothing at its top level that
// changes which rows it has (see FastCountQuery).
struct PagedList {
  std::string select_list;   // between SELECT and FROM, as written
  std::string from_where;    // from FROM up to the ORDER BY, as written
  std::string alias;         // the table's own name as written: names the inner rows
  std::string table;         // that name, quotes undone
  std::string schema;        // the name's schema, quotes undone; empty when none
  std::string order;         // the ORDER BY items as written; empty when none
  std::string inner_order;   // the same items with each ordinal replaced by its column
  bool per_row_work = false;  // the select list computes more than plain columns
  // Lower-case names of the columns the order starts with; the row
  // address need not follow an order that starts with it.
  std::vector<std::string> leading_order_columns;
};

// `sql` as a PagedList; nullopt when it is not one, or when an ordinal of
// its ORDER BY names a select item that is not a plain column.
std::optional<PagedList> PagedListOf(std::string_view sql);

// The rows `offset` to `offset + limit - 1` of `list`. The order goes on
// with `tiebreak` (names as written, qualified by the alias), so that
// paging never repeats or skips a row. When the select list computes
// something per row, an inner query picks the window's rows and the select
// list runs outside it, for those rows only.
std::string PagedListWindow(const PagedList& list, const std::vector<std::string>& tiebreak,
                            std::int64_t offset, std::int64_t limit);

// `sql` limited to `limit` rows from row `offset`: "LIMIT n OFFSET k"
// appended, or appended to the query wrapped as a sub-query when it has a
// top-level LIMIT of its own.
std::string LimitedWindow(std::string_view sql, std::int64_t offset, std::int64_t limit);

// `sql` starting at row `offset` (0-based): the dialect's offset clause
// appended, or, when the query already has a top-level LIMIT, appended to
// the query wrapped as a sub-query.
std::string WindowQuery(std::string_view sql, std::int64_t offset, const Dialect& dialect);

}  // namespace tabrix::sql
