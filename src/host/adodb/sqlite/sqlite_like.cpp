#include "host/adodb/sqlite/sqlite_like.h"

#include <memory>
#include <string>

#include "host/text/case_fold.h"
#include "host/text/utf8.h"

namespace tabrix::adodb::sqlite {

namespace {

std::u32string_view TextArgument(sqlite3_value* value, std::u32string& storage) {
  const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  storage = text::FoldedCodePoints(std::string_view(
      text == nullptr ? "" : text, static_cast<size_t>(sqlite3_value_bytes(value))));
  return storage;
}

void DeleteFoldedPattern(void* pattern) { delete static_cast<std::u32string*>(pattern); }

void Like(sqlite3_context* context, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return;  // the result stays NULL

  int pattern_bytes = sqlite3_value_bytes(argv[0]);
  if (pattern_bytes >
      sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
    sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
    return;
  }
  std::optional<char32_t> escape;
  if (argc == 3) {
    std::u32string escape_text;
    TextArgument(argv[2], escape_text);
    if (escape_text.size() != 1) {
      sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
      return;
    }
    escape = escape_text[0];
  }
  // The pattern is usually the same for every row: fold it once.
  auto* pattern = static_cast<std::u32string*>(sqlite3_get_auxdata(context, 0));
  if (pattern == nullptr) {
    auto folded = std::make_unique<std::u32string>();
    TextArgument(argv[0], *folded);
    pattern = folded.get();
    sqlite3_set_auxdata(context, 0, folded.release(), DeleteFoldedPattern);
    // set_auxdata may already have deleted it; ask again.
    pattern = static_cast<std::u32string*>(sqlite3_get_auxdata(context, 0));
  }
  std::u32string pattern_storage;
  std::u32string_view pattern_view =
      pattern != nullptr ? std::u32string_view(*pattern) : TextArgument(argv[0], pattern_storage);
  std::u32string text_storage;
  std::u32string_view text = TextArgument(argv[1], text_storage);
  sqlite3_result_int(context, LikeMatches(pattern_view, text, escape) ? 1 : 0);
}

}  // namespace

bool LikeMatches(std::u32string_view pattern, std::u32string_view text,
                 std::optional<char32_t> escape) {
  size_t p = 0, t = 0;
  // Where to resume after the last %: the pattern past it, and the text
  // position it has swallowed up to.
  size_t star_p = std::u32string_view::npos, star_t = 0;
  while (t < text.size()) {
    if (p < pattern.size()) {
      char32_t c = pattern[p];
      if (escape && c == *escape) {
        if (p + 1 < pattern.size() && pattern[p + 1] == text[t]) {
          p += 2;
          ++t;
          continue;
        }
      } else if (c == U'%') {
        star_p = ++p;
        star_t = t;
        continue;
      } else if (c == U'_' || c == text[t]) {
        ++p;
        ++t;
        continue;
      }
    }
    if (star_p == std::u32string_view::npos) return false;
    p = star_p;
    t = ++star_t;
  }
  while (p < pattern.size() && pattern[p] == U'%' && !(escape && *escape == U'%')) ++p;
  return p == pattern.size();
}

int RegisterFoldingLike(sqlite3* db) {
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  int rc =
      sqlite3_create_function_v2(db, "like", 2, flags, nullptr, Like, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  return sqlite3_create_function_v2(db, "like", 3, flags, nullptr, Like, nullptr, nullptr, nullptr);
}

}  // namespace tabrix::adodb::sqlite
