// Position-preserving case folding for comparisons that ignore case.
//
// Each code point folds on its own (simple case folding, no locale), so a
// position in the folded text is the same position in the original: a
// search can fold both sides and cut the result from the original text.
// A byte that starts no valid UTF-8 sequence counts as one code point of its
// own (kInvalidByteBase + byte), which no valid text decodes to, so it only
// matches the same byte.
#pragma once

#include <unicode/utf8.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tabrix::text {

inline constexpr char32_t kInvalidByteBase = 0xDC00;

inline bool IsInvalidByteCodePoint(char32_t cp) {
  return cp >= kInvalidByteBase && cp <= kInvalidByteBase + 0xFF;
}

char32_t FoldCodePoint(char32_t cp);

// Calls f(folded code point, byte offset, byte length) for each code point
// of `s`, in order.
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

// The code points of `s`, each folded.
std::u32string FoldedCodePoints(std::string_view s);

// The runtime's InStr: the 1-based position of `needle` in `haystack` at or
// after the 1-based position `start`, 0 when absent; positions count code
// points. Nothing is found in an empty haystack; an empty needle is found
// at `start` when start <= length + 1.
size_t InStr(size_t start, std::u32string_view haystack, std::u32string_view needle);

// `text` with every occurrence of `marker`, in any letter case, replaced by
// `replacement`, left to right without overlaps.
std::string ReplaceIgnoringCase(std::string_view text, std::string_view marker,
                                std::string_view replacement);

}  // namespace tabrix::text
