// Comparisons that ignore case, on the position-preserving folding of
// host/text/case_fold.h, with a fast path for ASCII text.
#include <vector>

#include "host/locale/locale.h"
#include "host/text/case_fold.h"
#include "host/text/utf8.h"

namespace tabrix {

namespace {

using text::FoldedCodePoints;
using text::ForEachFolded;
using text::IsInvalidByteCodePoint;

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  if (IsAscii(text)) {
    for (char c : text) out += AsciiLower(c);
    return out;
  }
  ForEachFolded(text, [&](char32_t cp, size_t offset, size_t length) {
    if (IsInvalidByteCodePoint(cp))
      out.append(text.substr(offset, length));
    else
      text::AppendCodePoint(out, cp);
  });
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b)) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
  }
  return FoldedCodePoints(a) == FoldedCodePoints(b);
}

size_t FindIgnoreCase(std::string_view haystack, std::string_view needle, size_t from) {
  if (from > haystack.size()) return std::string::npos;
  if (needle.empty()) return from;
  if (IsAscii(haystack) && IsAscii(needle)) {
    for (size_t i = from; i + needle.size() <= haystack.size(); ++i) {
      size_t k = 0;
      while (k < needle.size() && AsciiLower(haystack[i + k]) == AsciiLower(needle[k])) ++k;
      if (k == needle.size()) return i;
    }
    return std::string::npos;
  }
  std::u32string folded_needle = FoldedCodePoints(needle);
  std::u32string folded;
  std::vector<size_t> offsets;  // byte offset of each folded code point
  ForEachFolded(haystack, [&](char32_t cp, size_t offset, size_t) {
    if (offset < from) return;
    folded += cp;
    offsets.push_back(offset);
  });
  size_t at = folded.find(folded_needle);
  return at == std::u32string::npos ? std::string::npos : offsets[at];
}

}  // namespace tabrix
