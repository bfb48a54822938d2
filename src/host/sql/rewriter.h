// The rewrite of the component's legacy SQL for one engine.
//
// The component writes [bracketed] names, "select top N", dates as
// '2008-6-5' text and string literals with '' for an apostrophe and || for a
// bar. Rewrite() tokenizes the text once and hands each of those pieces to
// the engine's Dialect; every other byte passes through unchanged.
#pragma once

#include <string>
#include <string_view>

#include "host/sql/dialect.h"

namespace tabrix::sql {

// The legacy SQL `sql` in `dialect`'s form. "top N" (also after DISTINCT or
// ALL, and inside sub-queries) is dropped and the dialect's limit clause is
// added at the end of the same (sub)query: before the parenthesis that
// closes it, a ";" or the end of the text, ahead of trailing comments.
// Unterminated literals and names pass through as written.
std::string Rewrite(std::string_view sql, const Dialect& dialect);

}  // namespace tabrix::sql
