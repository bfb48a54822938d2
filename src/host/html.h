// Escaping for the places values are written to in a page.
#pragma once

#include <string>
#include <string_view>

namespace tabrix {

// HTML text and attribute values: & < > " ' become entities.
std::string HtmlEscape(std::string_view text);

// A string of a script that stands inside an HTML attribute (an onclick's
// 'text'): every ASCII byte other than a letter, a digit, a space or "_" is
// written \xHH, so neither the string, the script nor the attribute can
// end early; other text keeps its bytes.
std::string ScriptStringInAttribute(std::string_view text);

}  // namespace tabrix
