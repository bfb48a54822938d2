// The date input's lists, for the pages that write forms.
#pragma once

#include <string>

#include "component/tabrix1.h"

namespace tabrix::render {

// The parts of a date to show as selected; each may be empty.
struct DateParts {
  Variant day, month, year, hour, minute;
};

// Writes the day, month and year lists named `name` + "_d", "_m", "_y" (and
// hour and minute with `with_time`) exactly as DateSelectKoy does, showing
// `parts` as they are (an empty part selects nothing). With `offer_empty`
// each list starts with an empty choice, selected where its part is empty:
// the input of a date that may be left empty. The year list reaches ten
// years past `this_year`.
void WriteDateLists(Tabrix1& page, const std::string& name, bool with_time,
                    const DateParts& parts, bool offer_empty, int this_year);

}  // namespace tabrix::render
