// After a bulk action, the link back to the list its records were picked
// on. The confirmation page is asked with the list form's items (search,
// sort, page size, page), so its address, the Referer of the confirming
// POST, holds the list's state; without it, the table's whole list.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tabrix::site {

// The list's address, relative to the site: "Search.asp?..." with the
// referring page's items but those of the pick and the action, when that
// page was "Action.asp" of table `table_code`; else "Search.asp?t=CODE&go=1".
std::string ListReturnAddress(const std::optional<std::string>& referer, std::string_view table_code);

// The paragraph with the link to ListReturnAddress.
std::string ListReturnLink(const std::optional<std::string>& referer, std::string_view table_code);

}  // namespace tabrix::site
