// A double as a 64-bit whole number, checked before the cast.
//
// Casting a double that lies outside the target's range (or NaN) to an
// integer is undefined behaviour, so every such conversion goes through a
// check: ToLong and ToInt32 (variant_ops.h) round and raise 6; this one asks
// whether a double is exactly a whole number that fits.
#pragma once

#include <cstdint>
#include <optional>

namespace tabrix {

// `d` as an integer when it is a whole number within the 64-bit range;
// nullopt for a fraction, NaN, an infinity or a value beyond that range.
std::optional<std::int64_t> ExactWholeNumber(double d);

}  // namespace tabrix
