// The pieces of the list page, Tabrix1::Search, one file per topic.
//
// list_page.cpp runs the page: permission, heading, hidden fields, and the
// order of the pieces. list_query.cpp turns the request into the list query
// and positions the page recordset on the page's window of rows;
// list_grid.cpp writes the summary bar and the grid; list_paging.cpp the
// paging bar; list_search_panel.cpp the search panel; list_action_bar.cpp
// the bar of bulk actions under the grid. Every piece writes through the
// object's Response, in the order Search calls it, and raises the error of
// whatever fails without catching it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "component/tabrix1.h"

namespace tabrix::list_page {

// What the page knows while it is written.
struct ListState {
  // Requests "c" and "p" as sent: any number, fractional or huge.
  double asked_per_page = 50;
  double asked_page = 1;
  std::string criteria = "1=1";
  std::string sort = "1";      // a field name of the table, or "1"
  std::string dir = "Desc";    // "Asc" or "Desc"
  // Set once the records are counted (OpenPageWindow); whole numbers, so
  // every loop over them ends.
  std::int64_t record_count = 0;
  std::int64_t per_page = 0;   // "c" bounded: 1 to the process's max_page_size
  std::int64_t pages = 0;
  std::int64_t page = 0;       // 1 to `pages`; 0 when there are no records
  std::int64_t rows = 0;       // the grid's row counter after its loop: rows written + 1
  // Whether field i (1-based; [0] unused) is a column of the grid; filled by
  // the grid head and reused by its rows so both test each field once.
  std::vector<bool> grid_columns;
};

// --- Field list of the current table (FieldCount, FieldNames, ...) ---

// The number of fields of the current table (0 before any GetFieldList).
long FieldTotal(const Tabrix1& page);
// Item `i` of FieldNames / FieldTypes / FieldCaptions; reads without adding.
Variant FieldName(const Tabrix1& page, long i);
Variant FieldType(const Tabrix1& page, long i);
Variant FieldCaptionOf(const Tabrix1& page, long i);

// A whole number as the page writes it: its plain digits.
std::string NumberText(std::int64_t n);
// Whether a permission check's answer is True.
bool Granted(const Variant& answer);
// Whether the comma list `list` has `name` as an item, ignoring case; with
// `page`, the list is folded once per text rather than once per call.
bool IsListItem(const Variant& list, const Variant& name);
bool IsListItem(Tabrix1& page, const Variant& list, const Variant& name);

// --- list_query.cpp ---

// Request item `name` as a double, or `fallback` when it is empty. Text that
// is not a number raises 13 naming the item and `meaning`.
double RequestNumber(const Tabrix1& page, std::string_view name, std::string_view meaning,
                     double fallback);
// The conditions the request's items for viewable fields add to "1=1", each
// " AND (...)"; a name that is not a plain identifier stands bracketed.
std::string SearchCriteria(Tabrix1& page);
// The sort column: the viewable field named exactly (case matters) by
// request "o", else "1".
std::string SortColumn(Tabrix1& page);
// The sort column as the ORDER BY writes it: "1", or the field's name
// (bracketed when it is not a plain identifier).
std::string SortSql(const std::string& sort);
// "Asc" when request "o2" is exactly "Asc", else "Desc".
std::string SortDirection(const Tabrix1& page);
// The rows a request lists, for the list page and for any other reader of
// the same rows (the site's export of a whole result): the select of the
// current table's fields with their related captions under the request's
// criteria, and its order. The field list must be loaded; raises as
// SearchCriteria does.
struct ListQuery {
  std::string criteria;  // "1=1" and the search's conditions
  std::string select;    // "select ... from ... WHERE " + criteria
  std::string sort;      // as SortColumn
  std::string dir;       // as SortDirection
  // `select` with the list's ORDER BY.
  std::string Ordered() const;
};
ListQuery RequestListQuery(Tabrix1& page);
// Opens Rs (static, read-only) on `query` sorted by the state, counts the
// records, bounds the page size (BoundedPageSize), counts the pages, takes
// the page into 1..pages and moves Rs to the page's first row. After the
// query ran, raises 11 for a page size of 0 and 5 for one below 0.
void OpenPageWindow(Tabrix1& page, const std::string& query, ListState& state);

// --- list_grid.cpp ---

// The bar with the record count and the page-size selector ("set_pagers").
void WriteSummaryBar(Tabrix1& page, const ListState& state);
// The grid: head, foot and up to `per_page` rows from Rs; sets
// state.grid_columns and state.rows.
void WriteGrid(Tabrix1& page, ListState& state);

// --- list_paging.cpp ---

// The start of the bar under the grid: page links around the current page
// and the hidden "p"; the action bar finishes its row and table.
void WritePagingBar(Tabrix1& page, const ListState& state);

// --- list_search_panel.cpp ---

// The box of search controls, one per offered field.
void WriteSearchPanel(Tabrix1& page);

// --- list_action_bar.cpp ---

// "Select All", the drop-down of the actions that apply to the table, the
// button that posts the selection to Action.asp, and the selection script.
void WriteActionBar(Tabrix1& page, const ListState& state);

}  // namespace tabrix::list_page
