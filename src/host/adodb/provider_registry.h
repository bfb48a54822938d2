// The providers the facade knows, found by the connection string's
// "Provider=" name ignoring case. Built in: SQLite.
#pragma once

#include <string_view>

#include "host/adodb/backend.h"

namespace tabrix::adodb {

// The provider named `name`; raises 3706 naming it when there is none.
const Provider& FindProvider(std::string_view name);

}  // namespace tabrix::adodb
