// Values written into SQL text by the pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/variant.h"

namespace tabrix {

// `value` as a whole number when it is text of decimal digits with an
// optional sign and blanks around them, within 64 bits; nullopt otherwise.
std::optional<std::int64_t> WholeNumber(const Variant& value);

// A literal as SQL text: a number in the invariant form ("12.5" whatever
// the regional settings), anything else as its text.
std::string SqlLiteralText(const Variant& literal);

}  // namespace tabrix
