// Escaping for the places values are written to in a page.
#pragma once

#include <string>
#include <string_view>

namespace tabrix {

// HTML text and attribute values: & < > " ' become entities.
std::string HtmlEscape(std::string_view text);

}  // namespace tabrix
