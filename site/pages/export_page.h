// "Export.asp?t=CODE&format=csv|json&<the list page's items>": every row of
// the list's result, under its search and in its order, as one download.
//
// The same checks as the list page (logged in, the table's code, V on the
// table, a 400 for a refused criterion) and as the bulk export (an export
// action that applies to the table and whose letter the user holds; others
// get the same "Access Denied!", as a 403). The columns are the list page's
// (the field deny-list hides a field here too), each field with a relation
// followed by the related row's caption where the user may view it.
//
// CSV: UTF-8 with a byte-order mark, a head of captions, CRLF, the bulk
// export's cells (bulk_actions.h). JSON: an array of objects keyed by field
// name (names are stable and unique, where captions are settings a site
// may change and repeat), a caption under the field's name + "_caption";
// numbers as numbers (money and decimals with every digit), Null as null,
// yes/no as true/false. Dates in ISO 8601: a date column's day alone
// ("2024-05-01") unless its value has a time of day, a date-time column's
// "2024-05-01T09:30:00". The body is streamed from a forward cursor, a
// piece at a time (BodyStream), so memory stays bounded whatever the count.
#pragma once

#include <string>

#include "component/tabrix1.h"
#include "site/config.h"
#include "site/http/http_message.h"
#include "site/pages/hosting_pages.h"

namespace tabrix::site {

HttpResponse ServeExportPage(const SiteContext& site, const HttpRequest& request,
                             SessionStore::Lease& lease);

// Whether the user may export `table`: V on it and an export action that
// applies to it with its letter held. The table's settings must be read.
bool MayExport(const SiteConfig& config, Tabrix1& page, const Variant& table);

// The list page's "Export all N rows: CSV · JSON" links, carrying the
// request's search and sort; "" before a search ("go"), without rows or
// for a user who may not export. Reads the page's open Rs (its count).
std::string ExportLinks(const SiteConfig& config, Tabrix1& page, const HttpRequest& request);

}  // namespace tabrix::site
