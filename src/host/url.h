// URL encoding and application/x-www-form-urlencoded parsing.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tabrix {

// Keeps ASCII letters and digits (and the bytes of `also_kept`), writes a
// space as "+" and every other byte of the UTF-8 text as "%XX" with
// upper-case hex.
std::string UrlEncode(std::string_view text, std::string_view also_kept = {});

// Decodes "+" as a space and "%XX" as the byte XX; a "%" not followed by two
// hex digits stays as it is. The result is bytes; callers needing UTF-8 text
// check it themselves.
std::string UrlDecode(std::string_view text);

// Splits "a=1&b=2" into decoded name/value pairs in order. Empty pieces
// ("a=1&&b=2") are skipped; a piece without "=" is a name with value "".
std::vector<std::pair<std::string, std::string>> ParseUrlEncoded(std::string_view text);

}  // namespace tabrix
