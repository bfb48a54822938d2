// Values written into SQL text by the pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/variant.h"

namespace tabrix {

// A number a person typed (a request item), with every digit typed: the
// regional form read exactly, a whole number within 64 bits as a Long and
// any other as a Decimal (so 9007199254740993 and 0.1 reach SQL as typed).
// nullopt when `value` is no such text; the caller then falls back on
// CheckNum.
std::optional<Variant> TypedNumber(const Variant& value);

// Whether a key of ADO type `type` is compared with a bare number; any
// other type with quoted text.
bool IsBareKeyType(long type);

// A literal as SQL text: a number in the invariant form ("12.5" whatever
// the regional settings), anything else as its text.
std::string SqlLiteralText(const Variant& literal);

}  // namespace tabrix
