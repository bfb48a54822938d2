// UTF-8 text as sequences of code points.
//
// The component counts positions in characters (code points), 1-based, as
// the legacy runtime did; these helpers convert between the stored UTF-8
// and code points.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tabrix::text {

bool IsValidUtf8(std::string_view bytes);
// Code points of `s`; an invalid byte decodes as U+FFFD.
std::u32string Decode(std::string_view s);
std::string Encode(std::u32string_view cps);
void AppendCodePoint(std::string& out, char32_t cp);
// Number of code points.
size_t Length(std::string_view s);
// Byte offset of code point `index` (0-based); s.size() past the end.
size_t ByteOffset(std::string_view s, size_t index);
// Code points [start, start + count) of `s`, clamped to its end.
std::string Mid(std::string_view s, size_t start, size_t count = std::string::npos);

}  // namespace tabrix::text
