// What the bulk-action page does with the records a user picked and
// confirmed: the configuration's [actions.N] applied to the recordset the
// component returns, from its current record to its end.
//
// Delete and set walk the records inside one transaction begun on the
// recordset's ActiveConnection: every picked record changes or none does (a
// failure rolls back and passes on). Export reads the records into a CSV
// download: UTF-8 with a byte-order mark, a header row of captions and the
// list page's columns. A cell that holds a separator of either kind ("," or
// ";", which spreadsheets in many locales split on), a quote or a line break
// is quoted (RFC 4180), so no part of it can become a cell of its own. A
// number of a numeric column is written as the number it is ("-5"); any
// other cell that begins with "=", "+", "-", "@", a tab or a carriage return
// is prefixed with "'" so a spreadsheet never runs it as a formula.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "component/tabrix1.h"
#include "host/adodb/recordset.h"
#include "site/config.h"

namespace tabrix::site {

// One column of an export: a field of the list page's columns.
struct ExportColumn {
  std::string name;     // the field's name
  std::string caption;  // the caption the list's head shows
  long type = 0;        // its ADO type
};

// The list page's columns for `page`'s current table: the fields the user
// may view that ListFields names, or all of them when it names none. The
// component's field list must be loaded.
std::vector<ExportColumn> ListColumns(Tabrix1& page);

// Deletes, or sets the action's values on, every record from the current
// one to the end, in one transaction. Raises what the database raises.
void ApplyChangeAction(const BulkAction& action, adodb::Recordset& rs);

// The CSV of the records from the current one to the end, with the columns
// the list page shows for `page`'s current table (ListFields, else every
// field the user may view). The component's field list must be loaded.
std::string ExportCsv(Tabrix1& page, adodb::Recordset& rs);

// One CSV cell of text: neutralised against formulas, quoted when it holds
// a comma, a semicolon, a quote or a line break, quotes doubled.
std::string CsvCell(std::string_view text);
// The cell of `value` in a column of ADO type `field_type`: a number of a
// numeric column as its text, quoted only as above; anything else (a text
// that a loosely typed column holds too) as CsvCell.
std::string CsvCell(const Variant& value, long field_type);

}  // namespace tabrix::site
