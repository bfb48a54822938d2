// The action bar of the list page, beside the paging bar: "Select All", the
// bulk actions that apply to the table for this user, and the button that
// sends the selected rows to the bulk action page.
#include <string>

#include "component/numbered_settings.h"
#include "component/tabrix1.h"
#include "host/html.h"
#include "host/variant_ops.h"
#include "pages/list_page_parts.h"

namespace tabrix::list_page {

void WriteActionBar(Tabrix1& page, const ListState& state) {
  // Rows that cannot be picked (a view's) have no actions to choose.
  if (IsEmptyText(page.ActionList)) {
    page.Write("</tr>");
    page.Write("</thead>");
    page.Write("</table>");
    return;
  }
  page.Write("<td align=\"right\" class=\"none\">");
  page.Write("<input id=\"checkall\" type=\"checkbox\" name=\"idler\" value=\"0\" "
             "onclick=\"allselect();\"> Select All <br>");
  page.Write("        <select size=\"1\" name=\"a\">");
  for (long n = 1; n <= kMaxNumberedEntry; ++n) {
    if (!EntryExists(page, "set_action", n)) break;
    Variant number(n);
    if (Granted(page.ActionThis(number, page.CurrentTable))) {
      page.Write("<option value=\"" + std::to_string(n) + "\">" +
                 HtmlEscape(ConcatText(page.ActionName(number))) + "</option>");
    }
  }
  page.Write("        </select>  <A href=\"#\" onclick=\"form1.action='Action.asp';"
             "form1.submit();\"><img src=\"images/but_go2.gif\" border=\"0\" "
             "align=\"absmiddle\"></a></b>");

  // The script ticks exactly the boxes the grid wrote, check1 to checkN.
  page.Write("<script language=\"javascript\">");
  page.Write("function allselect(){");
  page.Write("    for(i=1;i<=" + NumberText(state.rows - 1) + ";i++){");
  page.Write("        eval('document.all.check' + i + '.checked = "
             "document.all.checkall.checked');");
  page.Write("    }");
  page.Write("}");
  page.Write("</script>");
  page.Write("</td></tr>");
  page.Write("</thead>");
  page.Write("</table>");
}

}  // namespace tabrix::list_page
