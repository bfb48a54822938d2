// The input control of one field, for the pages that write forms.
//
// Tabrix1::InputKoyF writes a field's control with the value the form kind
// shows; the update form also needs the same control without the record's
// stored value, for a field the user may change but not view.
#pragma once

#include "component/tabrix1.h"

namespace tabrix::render {

// Whether the update form's control shows the record's stored value.
enum class StoredValue { kShown, kWithheld };

// Writes the control of field `field_name` (ADO type `field_type`) for the
// form kind `tip`, exactly as InputKoyF does. With kWithheld the update form
// reads nothing of the record: a text box stays empty, a drop-down selects
// no stored choice and the date lists show the current date, as on a form
// for a password someone may set but not read. A value the request carries
// is shown either way. With `may_be_empty` (a column that takes Null) the
// date lists of the add and update forms start with an empty choice and
// show an empty date as empty rather than as today. Raises what InputKoyF
// raises.
void WriteInputControl(Tabrix1& page, const Variant& field_name, const Variant& field_type,
                       const Variant& tip, StoredValue stored, bool may_be_empty = false);

}  // namespace tabrix::render
