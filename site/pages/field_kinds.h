// What the site's script needs to know of the page's fields that the
// component's markup does not say: which are yes/no, so their text boxes
// become Yes/No choices.
#pragma once

#include <string>
#include <string_view>

#include "component/tabrix1.h"

namespace tabrix::site {

// `<script type="application/json" id="tabrix-fields">{"yesno":[...]}</script>`
// for the fields of the page's table, when the page's output `html` has
// text boxes; "" when none is yes/no or no table was read. Reads the
// table's field list when the page method did not.
std::string FieldKindsScript(Tabrix1& page, std::string_view html);

}  // namespace tabrix::site
