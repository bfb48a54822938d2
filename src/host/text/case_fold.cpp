#include "host/text/case_fold.h"

#include <unicode/uchar.h>

namespace tabrix::text {

char32_t FoldCodePoint(char32_t cp) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + ('a' - 'A') : cp;
  if (IsInvalidByteCodePoint(cp)) return cp;
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(cp), U_FOLD_CASE_DEFAULT));
}

std::u32string FoldedCodePoints(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  ForEachFolded(s, [&](char32_t cp, size_t, size_t) { out += cp; });
  return out;
}

size_t InStr(size_t start, std::u32string_view haystack, std::u32string_view needle) {
  if (haystack.empty() || start == 0 || start > haystack.size() + 1) return 0;
  size_t pos = haystack.find(needle, start - 1);
  return pos == std::u32string_view::npos ? 0 : pos + 1;
}

}  // namespace tabrix::text
