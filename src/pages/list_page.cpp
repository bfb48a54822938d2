// The list page of one table: heading, hidden fields that carry the page's
// state through the form, search panel, and, once the form was submitted
// ("go"), the counted and paged results with their action bar.
#include <string>

#include "component/tabrix1.h"
#include "host/html.h"
#include "host/scripting/dictionary.h"
#include "host/sql/legacy_names.h"
#include "host/text/case_fold.h"
#include "host/variant_ops.h"
#include "pages/list_page_parts.h"

namespace tabrix {

namespace list_page {

long FieldTotal(const Tabrix1& page) {
  return ToLong(page.FieldCount);
}

Variant FieldName(const Tabrix1& page, long i) {
  return ObjectAs<scripting::Dictionary>(page.FieldNames).Get(Variant(i));
}

Variant FieldType(const Tabrix1& page, long i) {
  return ObjectAs<scripting::Dictionary>(page.FieldTypes).Get(Variant(i));
}

Variant FieldCaptionOf(const Tabrix1& page, long i) {
  return ObjectAs<scripting::Dictionary>(page.FieldCaptions).Get(Variant(i));
}

std::string NumberText(std::int64_t n) { return std::to_string(n); }

bool Granted(const Variant& answer) { return ToBool(answer); }

bool IsListItem(const Variant& list, const Variant& name) {
  std::string haystack = ",";
  haystack += ConcatText(list);
  haystack += ",";
  std::string needle = ",";
  needle += ConcatText(name);
  needle += ",";
  return text::InStr(1, text::FoldedCodePoints(haystack), text::FoldedCodePoints(needle)) > 0;
}

bool IsListItem(Tabrix1& page, const Variant& list, const Variant& name) {
  // The list is folded once per page, not once per field.
  const values::FoldedList& haystack = page.Memos.lists.Get(",", ConcatText(list), ",");
  std::string needle = ",";
  needle += ConcatText(name);
  needle += ",";
  return text::InStr(1, haystack.folded, text::FoldedCodePoints(needle)) > 0;
}

namespace {

// The results: the counted window of rows and the bars around the grid.
void WriteResults(Tabrix1& page, const std::string& query, ListState& state) {
  OpenPageWindow(page, query, state);
  WriteSummaryBar(page, state);
  WriteGrid(page, state);
  WritePagingBar(page, state);
  WriteActionBar(page, state);
}

}  // namespace

}  // namespace list_page

Variant Tabrix1::Search(const Variant& GTName) {
  using namespace list_page;
  ALLPagesBegin();
  CurrentTable = GTName;
  // A user who may not view the table gets the redirect alone: nothing of
  // the table is read or written, not even its field list, and the page is
  // not remembered as the last one.
  if (!Granted(YetkiKontrol(CurrentTable, Variant("V")))) {
    ResponseObject().Redirect("Login.asp?msg=Y");
    return Variant();
  }
  GetTableSpesific(CurrentTable);
  GetFieldList(CurrentTable);

  ListState state;
  state.asked_per_page = RequestNumber(*this, "c", "records per page", 50);
  state.asked_page = RequestNumber(*this, "p", "page number", 1);
  ListQuery list = RequestListQuery(*this);
  state.criteria = list.criteria;
  state.sort = list.sort;
  state.dir = list.dir;
  const std::string& query = list.select;
  PageCaption = Variant("<b>" + HtmlEscape(ConcatText(TableCaption)));
  std::string table = ConcatText(CurrentTable);
  // A view is only shown: nothing is added to it.
  bool may_add = CurrentRowKey.Writable() && Granted(YetkiKontrol(CurrentTable, Variant("A")));
  if (may_add) CaptionAppend = Variant("");
  CaptionInclude();

  // The form opens inside a table that closes at once; the form itself stays
  // open around the panel and the results.
  Write("    <table class=\"none\">");
  Write("  <form action=\"Search.asp\" method=\"get\" name=\"form1\">");
  Write("</table>");
  Write("  <input type=\"hidden\" name=\"go\" value=\"1\">");
  Write("  <input type=\"hidden\" name=\"t\" value=\"" + HtmlEscape(ConcatText(Param("t"))) +
        "\">");
  Write("  <input type=\"hidden\" name=\"o\" value=\"" + HtmlEscape(state.sort) + "\">");
  Write("  <input type=\"hidden\" name=\"o2\" value=\"" + state.dir + "\">");
  if (IsEmptyText(Param("hf"))) WriteSearchPanel(*this);
  if (!IsEmptyText(Param("go"))) WriteResults(*this, query, state);
  Write("</form>");

  if (may_add) {
    std::string code = ServerObject().URLEncode(ConcatText(TableCode(Variant(table))));
    Write("<A href='Add.asp?t=" + code +
          "' class='link2'><img src='images/co_addnew.gif' border='0' align='absmiddle'></a>");
  }

  RememberPageAddress("lastsearch");
  ALLPagesEnd();
  return Variant();
}

}  // namespace tabrix
