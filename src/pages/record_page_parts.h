// The pieces of the record page, Tabrix1::Info.
//
// record_page.cpp runs the page: permission, the query for the one record,
// the heading, the table of the record's fields, and the page's address kept
// in the session. record_links.cpp writes the links under the table: the
// update link, one link per bulk action that applies to the table, and the
// site's configured links ("set_link"). Every piece writes through the
// object's Response, reads the record from Rs, and raises the error of
// whatever fails without catching it.
#pragma once

#include <string>

#include "component/tabrix1.h"

namespace tabrix::record_page {

// The update link (when the user may update the table), then the link of
// every bulk action that applies, separated by bars; `record_id` as the
// page received it.
void WriteRecordLinks(Tabrix1& page, const Variant& record_id);

// One link per "set_link" entry that names the current table.
void WriteConfiguredLinks(Tabrix1& page);

// The URL of a configured link: `url_template` with "{table}" placeholders
// replaced by the menu's table codes and "[field]" placeholders by the
// record's values, the whole text lower-cased before each replacement.
std::string ConfiguredLinkUrl(Tabrix1& page, const std::string& url_template);

}  // namespace tabrix::record_page
