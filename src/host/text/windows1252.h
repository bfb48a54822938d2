// The single-byte code page Windows-1252.
//
// Its five undefined bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the
// control characters of the same numbers, so every byte has a character and
// the mapping is a bijection between 256 bytes and 256 code points.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tabrix::text {

char32_t Windows1252ToCodePoint(unsigned char byte);
// The byte for a code point, nullopt when the code page has none.
std::optional<unsigned char> CodePointToWindows1252(char32_t cp);
std::string Windows1252ToUtf8(std::string_view bytes);

}  // namespace tabrix::text
