// Position-preserving case folding for searches that ignore case.
//
// Each code point folds on its own (simple case folding, no locale), so a
// position in the folded text is the same position in the original: a
// search can fold both sides and cut the result from the original text.
#pragma once

#include <string>
#include <string_view>

namespace tabrix::text {

char32_t FoldCodePoint(char32_t cp);
// The code points of `s`, each folded.
std::u32string FoldedCodePoints(std::string_view s);

// The runtime's InStr: the 1-based position of `needle` in `haystack` at or
// after the 1-based position `start`, 0 when absent; positions count code
// points. Nothing is found in an empty haystack; an empty needle is found
// at `start` when start <= length + 1.
size_t InStr(size_t start, std::u32string_view haystack, std::u32string_view needle);

}  // namespace tabrix::text
