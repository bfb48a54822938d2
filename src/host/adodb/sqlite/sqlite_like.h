// LIKE for SQLite that ignores case beyond ASCII.
//
// SQLite's own LIKE folds only ASCII letters, so 'ÇAĞ' LIKE '%çağ%' is
// false there. This replacement folds both sides code point by code point
// with ICU's simple case folding (no locale), keeps % and _ as wildcards
// and supports the ESCAPE form. Either side Null gives Null.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string_view>

namespace tabrix::adodb::sqlite {

// Installs the folding like(pattern, text) and like(pattern, text, escape)
// on `db`. Returns SQLite's result code.
int RegisterFoldingLike(sqlite3* db);

// Whether `text` matches `pattern` (both already folded): % any run, _ any
// one code point, `escape` makes the next code point literal.
bool LikeMatches(std::u32string_view pattern, std::u32string_view text,
                 std::optional<char32_t> escape);

}  // namespace tabrix::adodb::sqlite
