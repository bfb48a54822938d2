// Cutting settings texts into their items.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tabrix::text {

// The pieces of `text` between every occurrence of `separator` (exact
// comparison, nothing trimmed). "" gives no pieces at all; an empty
// separator gives the whole text as one piece.
std::vector<std::string> Split(std::string_view text, std::string_view separator);

}  // namespace tabrix::text
