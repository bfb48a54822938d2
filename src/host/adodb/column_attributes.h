// Field attributes and dates as text, shared by the providers.
#pragma once

#include <optional>
#include <string_view>

#include "host/variant.h"

namespace tabrix::adodb {

// The ADO FieldAttributeEnum bits of a column: 0x4|0x8 when writable,
// 0x20|0x40 when it may hold Null, 0x10 for a fixed-length type, 0x80 for
// long text and long binary.
long ColumnAttributes(long type, bool writable, bool nullable);

// Whether the ADO type is one of the date types (7 date, 133 date, 135
// date and time).
bool IsDateType(long type);

// Reads stored date text, ISO 8601 as regional::ReadIsoDate reads it:
// "YYYY-MM-DD", optionally followed by " " or "T", "HH:MM", "HH:MM:SS" or
// "HH:MM:SS.fff", and "Z" or an offset such as "+02:00" (dropped: the clock
// time stays as stored). nullopt when the text has another shape or names
// no real day or time.
std::optional<DateValue> ParseIsoDate(std::string_view text);

}  // namespace tabrix::adodb
