// Comparisons that ignore case: simple case folding per code point, with
// no locale, so a folded text keeps the positions of its original.
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <vector>

#include "host/locale/locale.h"
#include "host/text/utf8.h"

namespace tabrix {

namespace {

// A byte that starts no valid UTF-8 sequence stands for itself as one of
// these code points, which no valid text decodes to, so it only matches the
// same byte.
constexpr char32_t kInvalidByteBase = 0xDC00;

char32_t FoldCodePoint(char32_t cp) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + ('a' - 'A') : cp;
  if (cp >= kInvalidByteBase && cp <= kInvalidByteBase + 0xFF) return cp;
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(cp), U_FOLD_CASE_DEFAULT));
}

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// Calls f(folded code point, byte offset, byte length) for each code point.
template <class F>
void ForEachFolded(std::string_view s, F f) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(s.data());
  std::int64_t length = static_cast<std::int64_t>(s.size());
  std::int64_t i = 0;
  while (i < length) {
    std::int64_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) {
      i = start + 1;
      f(kInvalidByteBase + bytes[start], static_cast<size_t>(start), size_t{1});
    } else {
      f(FoldCodePoint(static_cast<char32_t>(c)), static_cast<size_t>(start),
        static_cast<size_t>(i - start));
    }
  }
}

std::u32string FoldedCodePoints(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  ForEachFolded(s, [&](char32_t cp, size_t, size_t) { out += cp; });
  return out;
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  if (IsAscii(text)) {
    for (char c : text) out += AsciiLower(c);
    return out;
  }
  ForEachFolded(text, [&](char32_t cp, size_t offset, size_t length) {
    if (cp >= kInvalidByteBase && cp <= kInvalidByteBase + 0xFF)
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
