// The rewrite of the component's legacy SQL for one engine.
//
// The component writes [bracketed] names, "select top N", dates as
// '2008-6-5' text and string literals with '' for an apostrophe and || for a
// bar. Rewrite() tokenizes the text once and hands each of those pieces to
// the engine's Dialect; every other byte passes through unchanged. A
// date-shaped literal is a date only where it is compared with a date or
// time column (comparisons.h), which the database's names tell; compared
// with anything else (a text key "1-2-3") it stays byte for byte.
#pragma once

#include <string>
#include <string_view>

#include "host/sql/dialect.h"
#include "host/sql/name_catalog.h"

namespace tabrix::sql {

// The legacy SQL `sql` in `dialect`'s form. "top N" (also after DISTINCT or
// ALL, and inside sub-queries) is dropped and the dialect's limit clause is
// added at the end of the same (sub)query: before the parenthesis that
// closes it, a ";" or the end of the text, ahead of trailing comments.
// Unterminated literals and names pass through as written. `names` tells
// the kinds of the columns date-shaped literals are compared with; it is
// asked only when there is such a literal, and read again once when the
// column is not among its names. Without names no literal is a date.
std::string Rewrite(std::string_view sql, const Dialect& dialect, NameSource* names = nullptr);

}  // namespace tabrix::sql
