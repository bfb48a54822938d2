// The summary bar and the grid of the list page: one head cell per grid
// column with its sort link, then one row per record of the page's window,
// the first two fields linked to the record page, and a selection box.
#include <optional>
#include <string>

#include "component/tabrix1.h"
#include "host/adodb/recordset.h"
#include "host/html.h"
#include "host/url.h"
#include "host/variant_ops.h"
#include "pages/list_page_parts.h"
#include "values/row_address.h"

namespace tabrix::list_page {

namespace {

// A field is a grid column when the user may view it and ListFields, if
// given, names it (ignoring case); the grid keeps the table's field order.
bool IsGridColumn(Tabrix1& page, const Variant& name) {
  if (!Granted(page.YetkiKontrolField(page.CurrentTable, name, Variant("V")))) return false;
  return IsEmptyText(page.ListFields) || IsListItem(page, page.ListFields, name);
}

// The current table's code for the grid's links, read at the first link:
// nothing a grid row does changes the current table or the session.
const std::string& TableCode(Tabrix1& page, std::optional<std::string>& code) {
  if (!code) code = page.ServerObject().URLEncode(ConcatText(page.TableCode(page.CurrentTable)));
  return *code;
}

void WriteHead(Tabrix1& page, ListState& state) {
  page.Write("<table width=\"100%\">");
  page.Write("<thead>");
  page.Write("  <tr>");
  long total = FieldTotal(page);
  state.grid_columns.assign(static_cast<size_t>(total) + 1, false);
  std::string reversed = state.dir == "Desc" ? "Asc" : "Desc";
  for (long i = 1; i <= total; ++i) {
    Variant name = FieldName(page, i);
    if (!IsGridColumn(page, name)) continue;
    state.grid_columns[static_cast<size_t>(i)] = true;
    std::string name_text = ConcatText(name);
    // A click on the sorted column reverses its order.
    const std::string& link_dir = name_text == state.sort ? reversed : state.dir;
    // Names and captions are escaped for where they land: a caption is
    // text, a name in the sort script is a string inside an attribute.
    page.Write("<th scope=\"col\">" + HtmlEscape(ConcatText(FieldCaptionOf(page, i))) +
               " <A href=\"#\" class=\"linknone\" onclick=\"form1.o.value='" +
               ScriptStringInAttribute(name_text) +
               "';form1.o2.value='" + link_dir +
               "';form1.submit();return(false);\"><img src=\"images/sort.gif\" "
               "align=\"absmiddle\" border=\"0\"></a></th>");
  }
  if (!IsEmptyText(page.ActionList)) page.Write("<th scope=\"col\"></th>");
  page.Write("  </tr>");
  page.Write("  </thead>");
  page.Write("<tfoot>");
  page.Write("    <tr>");
  page.Write("        <th scope=\"row\">Total</th>");
  // The span counts every field of the table, shown or not.
  page.Write("        <td colspan=\"" + ConcatText(page.FieldCount) + "\">" +
             std::to_string(state.record_count) + " records</td>");
  page.Write("    </tr>");
  page.Write("</tfoot>");
  page.Write("   <tbody>");
}

// One grid row from the current record of Rs. The first two fields link
// to the record by its address; a row without one (too long to carry) is
// shown without links and cannot be picked.
void WriteRow(Tabrix1& page, adodb::Recordset& rs, const ListState& state,
              std::optional<std::string>& code) {
  page.Write(std::string("<tr ") +
             (state.rows % 2 == 0 ? " class='odd'" : "") + ">");
  std::optional<std::string> address = row_address::OfRow(page, rs);
  // Record addresses are URL-encoded: they come from the database.
  std::string link = address ? "<A href=\"Info.asp?t=" + TableCode(page, code) + "&id=" +
                                   UrlEncode(*address) + "\">"
                             : std::string();
  long total = FieldTotal(page);
  for (long i = 1; i <= total; ++i) {
    if (!state.grid_columns[static_cast<size_t>(i)]) continue;
    Variant name = FieldName(page, i);
    Variant number(i);
    if (i == 1) {
      page.Write("<th scope=\"row\" id=\"r1\">" + link +
                 ConcatText(page.ShowField(name, rs.Value(name), number)) +
                 (address ? "</A>" : "") + "</td>");
    } else if (i == 2) {
      page.Write("<td>" + link + ConcatText(page.ShowField(name, page.RsValue(name), number)) +
                 (address ? "</a>" : "") + "</td>");
    } else {
      page.Write("<td>" + ConcatText(page.ShowField(name, page.RsValue(name), number)) +
                 "</a></td>");
    }
  }
  if (!IsEmptyText(page.ActionList)) {
    if (address) {
      std::string rows = NumberText(state.rows);
      std::string value = *address + "|" + ConcatText(rs.Value(page.TitleField));
      page.Write("<td><input id=\"check" + rows + "\" type=\"checkbox\" name=\"id" + rows +
                 "\" value=\"" + HtmlEscape(value) + "\"></td>");
    } else {
      page.Write("<td></td>");
    }
  }
  page.Write("</tr>");
}

}  // namespace

void WriteSummaryBar(Tabrix1& page, const ListState& state) {
  page.Write("<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" class=\"none\" "
             "width=\"100%\">");
  page.Write("<thead>");
  page.Write("  <tr>");
  page.Write("    <td width=\"50%\" class=\"none\">Total : <b>" +
             std::to_string(state.record_count) + "</b></font></td>");
  page.Write("    <td width=\"50%\" align=\"right\" class=\"none\">Record per page");
  page.Write("    <select size=\"1\" name=\"c\" onchange=\"form1.submit();\" class=\"buton\">");
  std::string pagers = ConcatText(page.Setting("set_pagers"));
  if (!pagers.empty()) {
    size_t start = 0;
    while (true) {
      size_t comma = pagers.find(',', start);
      std::string size = pagers.substr(start, comma == std::string::npos ? comma : comma - start);
      // Each offered size must be a number (13 otherwise), as the selected
      // one is found by value.
      if (!IsNumeric(Variant(size)) || IsEmptyText(Variant(size)))
        RaiseError(kErrTypeMismatch, "\"set_pagers\" holds \"" + size + "\", not a number");
      bool selected = ToDouble(Variant(size)) == static_cast<double>(state.per_page);
      page.Write("<option value=\"" + size + "\"" + (selected ? " selected" : "") + ">" + size +
                 "</option>");
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  page.Write("    </select></td>");
  page.Write("  </tr>");
  page.Write("</thead>");
  page.Write("</table>");
}

void WriteGrid(Tabrix1& page, ListState& state) {
  WriteHead(page, state);
  auto& rs = ObjectAs<adodb::Recordset>(page.Rs);
  std::optional<std::string> code;
  {
    // Nothing a row does changes the settings: what the first cells read
    // from them holds for the rest.
    SettingsHeldStill held(page.Memos);
    for (state.rows = 1; state.rows <= state.per_page; ++state.rows) {
      if (rs.Eof()) break;
      WriteRow(page, rs, state, code);
      rs.MoveNext();
    }
  }
  page.Write("</table>");
  page.Write("</div>");
}

}  // namespace tabrix::list_page
