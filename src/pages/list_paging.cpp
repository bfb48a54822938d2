// The paging bar under the grid: a back arrow, at most eleven page numbers
// with the current one in the middle where possible, a next arrow, and the
// hidden "p" that keeps the page when the form is submitted again.
#include <cstdint>
#include <string>

#include "component/tabrix1.h"
#include "pages/list_page_parts.h"

namespace tabrix::list_page {

namespace {

std::string PageLink(std::int64_t target) {
  return "<A href=\"#\" onclick=\"form1.p.value='" + NumberText(target) +
         "';form1.submit();\" class=\"linknone\">";
}

}  // namespace

void WritePagingBar(Tabrix1& page, const ListState& state) {
  page.Write("<table  border=\"0\" cellspacing=\"6\" width=\"100%\" class=\"none\">");
  page.Write("<thead>");
  page.Write("<tr>");
  page.Write("<td class=\"none\" valign=\"top\">Page ");

  // Whole numbers from 0 to the page count: the loop below writes at most
  // eleven numbers, whatever the request asked for.
  const std::int64_t current = state.page;
  if (current > 1) {
    page.Write(PageLink(current - 1) +
               "<img src=\"images/ico_back.gif\" border=\"0\" align=\"absmiddle\"></a>"
               "&nbsp;&nbsp;");
  }
  std::int64_t from = current - 5;
  if (from < 1) from = 1;
  std::int64_t to = current + 5;
  if (to > state.pages) to = state.pages;
  for (std::int64_t k = from; k <= to; ++k) {
    if (k == current)
      page.Write("<font size=\"3\"><b>" + NumberText(k) + "</b></font>");
    else
      page.Write(PageLink(k) + NumberText(k) + "</A>");
    if (k != to) page.Write("&nbsp;&nbsp;<font size=\"1\">|</font>&nbsp;&nbsp;");
  }
  if (current < state.pages) {
    page.Write("&nbsp;&nbsp; " + PageLink(current + 1) +
               "<img src=\"images/ico_next.gif\" border=\"0\" align=\"absmiddle\"></a>");
  }
  page.Write("<input type=\"hidden\" name=\"p\" value=\"" + NumberText(current) + "\">");
  page.Write("of <b>" + NumberText(state.pages) + "</b>");
  page.Write("</td>");
}

}  // namespace tabrix::list_page
