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

// `sql` starting at row `offset` (0-based): the dialect's offset clause
// appended, or, when the query already has a top-level LIMIT, appended to
// the query wrapped as a sub-query.
std::string WindowQuery(std::string_view sql, std::int64_t offset, const Dialect& dialect);

}  // namespace tabrix::sql
