// One transaction over the writes a caller makes through a recordset.
#pragma once

#include <functional>

#include "host/adodb/recordset.h"

namespace tabrix::adodb {

// Runs `writes` as one transaction on the connection `rs` runs on
// (its ActiveConnection): every write or none. On failure a pending edit is
// cancelled and the transaction rolled back (should that fail too, the
// recordset is closed, which gives its connection back rolled back), and
// the first failure is raised.
void InOneTransaction(Recordset& rs, const std::function<void()>& writes);

}  // namespace tabrix::adodb
