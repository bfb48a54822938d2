// Inflates a gzip member, for tests of compressed answers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tabrix::testing {

// The bytes `coded` (one whole gzip member) inflates to; nullopt when it is
// not one, or has bytes after its end.
std::optional<std::string> Gunzip(std::string_view coded);

}  // namespace tabrix::testing
