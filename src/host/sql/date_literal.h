// Date-shaped text inside SQL string literals.
//
// The component writes dates into SQL as text such as '2008-6-5' or
// '2008-6-28 23:59:59.998'. A literal whose whole text has that shape is a
// date for every engine; the providers write it back in zero-padded ISO form.
// The shape only is checked: '2008-13-45' is still date-shaped.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tabrix::sql {

struct DateLiteral {
  int year = 0, month = 0, day = 0;
  bool has_time = false;
  int hour = 0, minute = 0, second = 0;
  std::string fraction;  // the digits after the seconds' ".", as written
};

// Reads `text` as Y-M-D (year 1-4 digits, month and day 1-2, "-" or "/" as
// separators, the same one twice), optionally followed by one blank and
// H:M or H:M:S (1-2 digits each) with an optional ".digits" after the
// seconds. nullopt when the whole text has any other shape.
std::optional<DateLiteral> ParseDateLiteral(std::string_view text);

// "YYYY-MM-DD", or "YYYY-MM-DD HH:MM:SS[.fraction]" when there is a time;
// a time written without seconds gets ":00".
std::string IsoText(const DateLiteral& date);

}  // namespace tabrix::sql
