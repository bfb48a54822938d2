// The current local date and time as the component sees it.
//
// Normally the system clock in local time; a tool may fix it (tabrix call
// --now) so that date defaults can be tested. Set before other threads run.
#pragma once

#include <optional>

#include "host/variant.h"

namespace tabrix {

// The current local date and time (whole seconds).
DateValue Now();
// Fixes what Now() returns; nullopt goes back to the system clock.
void SetFixedNow(std::optional<DateValue> now);

}  // namespace tabrix
