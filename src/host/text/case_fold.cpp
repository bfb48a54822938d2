#include "host/text/case_fold.h"

#include <unicode/uchar.h>

#include <utility>
#include <vector>


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

std::string ReplaceIgnoringCase(std::string_view text, std::string_view marker,
                                std::string_view replacement) {
  if (marker.empty()) return std::string(text);
  // Walk the original code point by code point, with each one's folded form
  // and byte span, so a match found in the folded text is cut from the
  // original bytes.
  std::u32string folded;
  std::vector<std::pair<size_t, size_t>> spans;  // byte offset and length
  ForEachFolded(text, [&](char32_t cp, size_t offset, size_t length) {
    folded += cp;
    spans.emplace_back(offset, length);
  });
  std::u32string needle = FoldedCodePoints(marker);
  std::string out;
  size_t copied = 0;  // code points already copied or replaced
  for (size_t hit = folded.find(needle); hit != std::u32string::npos;
       hit = folded.find(needle, hit + needle.size())) {
    size_t from = copied < spans.size() ? spans[copied].first : text.size();
    out.append(text.substr(from, spans[hit].first - from));
    out.append(replacement);
    copied = hit + needle.size();
  }
  size_t from = copied < spans.size() ? spans[copied].first : text.size();
  out.append(text.substr(from));
  return out;
}

}  // namespace tabrix::text
