// The search panel of the list page: a box the page's script opens and
// closes, with one row per field of the table; an offered field's row holds
// its caption and its search control, named after the field, so that the
// control's value comes back as the field's criterion.
#include <string>

#include "component/tabrix1.h"
#include "host/html.h"
#include "host/variant_ops.h"
#include "pages/list_page_parts.h"

namespace tabrix::list_page {

namespace {

// Offered: the user may view the field and SearchFields, if given, names it
// (ignoring case); the panel keeps the table's field order.
bool IsOffered(Tabrix1& page, const Variant& name) {
  if (!Granted(page.YetkiKontrolField(page.CurrentTable, name, Variant("V")))) return false;
  return IsEmptyText(page.SearchFields) || IsListItem(page, page.SearchFields, name);
}

}  // namespace

void WriteSearchPanel(Tabrix1& page) {
  page.Write("<a href=\"#\" onclick=\"OpenClose('divarama');\"><img src=\"images/ico_ara.gif\" "
             "border=\"0\" align=\"absmiddle\" vspace=\"6\"></a> Search <br>");
  page.Write("<div id=\"divarama\" style=\"display:;position:absolute; background-color: "
             "#ffffff; border: 1px solid #AAAAAA; padding:10px;\" class=\"cantvisible\">");
  page.Write("<table class=\"none\" width=\"370\">");
  page.Write("    <thead>");
  page.Write("    <tr>");
  page.Write("        <td class=\"none\" height=\"30\">Search criterias:</td>");
  page.Write("    </tr>");
  page.Write("    </thead>");
  page.Write("</table>");
  page.Write("<table border=\"0\" cellspacing=\"3\" cellpadding=\"5\" width=\"370\" "
             "style=\"border-color:#ffffff\">");
  page.Write("    <thead>");
  page.Write("    <tr>");

  long offered = 0;
  long total = FieldTotal(page);
  for (long i = 1; i <= total; ++i) {
    Variant name = FieldName(page, i);
    if (IsOffered(page, name)) {
      ++offered;
      page.Write("<th align=\"left\" width=\"170\" valign=\"top\">&nbsp;" +
                 HtmlEscape(ConcatText(FieldCaptionOf(page, i))) + ":</th>");
      page.Write("<td valign=\"top\" class=\"none\" width=\"200\" bgcolor=\"#FFFFFF\">");
      page.InputKoy(Variant(i), Variant(1));
      page.Write("</td>");
    }
    // Every field closes a row, offered or not; the row that follows the
    // 2nd, 6th, 10th... offered field is shaded.
    page.Write(std::string("</tr><tr") + ((offered - 2) % 4 == 0 ? " class='odd'" : "") + ">");
  }

  page.Write("    </tr>");
  page.Write("    </thead>");
  page.Write("</table>");
  page.Write("<table class=\"none\" width=\"370\">");
  page.Write("    <thead>");
  page.Write("    <tr>");
  page.Write("        <td class=\"none\"><input type=\"image\" "
             "src=\"images/but_search.gif\"></td>");
  page.Write("        <td align=\"right\" class=\"none\">Close <A href=\"#\" "
             "onclick=\"OpenClose('divarama');\"><img src=\"images/ico_close.gif\" border=\"0\" "
             "align=\"absmiddle\"></A></td>");
  page.Write("    </tr>");
  page.Write("    </thead>");
  page.Write("</table>");
  page.Write("</div>");
}

}  // namespace tabrix::list_page
