// The record page of one table: the record's title as the heading, one
// caption/value row per field the user may view, the links to update it,
// to run bulk actions on it and the site's configured links, and a back
// button. A record id that matches nothing leaves the page empty between
// its start and its end.
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "component/tabrix1.h"
#include "host/adodb/recordset.h"
#include "host/html.h"
#include "host/sql/legacy_names.h"
#include "host/variant_ops.h"
#include "pages/list_page_parts.h"
#include "pages/record_page_parts.h"
#include "pages/page_size.h"
#include "values/row_address.h"

namespace tabrix {

namespace record_page {

namespace {

using list_page::FieldCaptionOf;
using list_page::FieldName;
using list_page::FieldTotal;
using list_page::Granted;

// The query of the records at address `record_id`: one, for a table with
// a key; a view's may be several.
std::string RecordQuery(Tabrix1& page, const Variant& record_id) {
  return "select " + ConcatText(page.SelectFieldList(page.CurrentTable)) + " from " +
         sql::BracketedName(ConcatText(page.CurrentTable)) + " WHERE " +
         row_address::Condition(page, ConcatText(record_id));
}

// The heading: the table's caption small, the record's title bold. The
// title comes from the row, so it is escaped.
void WriteHeading(Tabrix1& page, adodb::Recordset& rs) {
  std::string title = ConcatText(rs.Value(page.TitleField));
  page.PageCaption = Variant("<font size='1'>" + HtmlEscape(ConcatText(page.TableCaption)) +
                             "</font><br>&nbsp;<b>" + HtmlEscape(title));
  page.CaptionInclude();
}

// One row per field in the table's order; a field the user may not view is
// left out, as the list page leaves it out of its grid.
void WriteRecordTable(Tabrix1& page) {
  // Nothing a line does changes the settings: what one reads from them
  // holds for the rest.
  SettingsHeldStill held(page.Memos);
  page.Write("&nbsp;<table><thead>");
  long total = FieldTotal(page);
  for (long i = 1; i <= total; ++i) {
    Variant name = FieldName(page, i);
    if (!Granted(page.YetkiKontrolField(page.CurrentTable, name, Variant("V")))) continue;
    page.Write("<tr>");
    page.Write("<th width=\"130\">" + HtmlEscape(ConcatText(FieldCaptionOf(page, i))) + "</th>");
    page.Write("<td valign=\"top\" width=\"300\" bgcolor=\"#ffffff\" "
               "style=\"padding:10px 10px 10px 10px;\">" +
               ConcatText(page.ShowField(name, page.RsValue(name), Variant(i))) + "</td>");
    page.Write("</tr>");
  }
  page.Write("</thead></table>&nbsp;<br>");
}

}  // namespace

}  // namespace record_page

Variant Tabrix1::Info(const Variant& GTName, const Variant& RecordId) {
  using namespace record_page;
  ALLPagesBegin();
  CurrentTable = GTName;
  GetTableSpesific(CurrentTable);
  GetFieldList(CurrentTable);
  // A user who may not view the table gets this text alone: no page end and
  // no address kept.
  if (!list_page::Granted(YetkiKontrol(CurrentTable, Variant("V")))) {
    Write("Access deny!");
    return Variant();
  }

  std::shared_ptr<adodb::Recordset> rs = NewRecordset();
  Rs = Variant(rs);
  OpenRecordset(*rs, RecordQuery(*this, RecordId), adodb::kStatic, adodb::kReadOnly);
  if (!rs->Eof()) {
    WriteHeading(*this, *rs);
    // A key finds one row; a view's address, or the values of a table
    // without a key, may find several.
    bool one_row = CurrentRowKey.kind == RowKey::Kind::kPrimaryKey || rs->RecordCount() == 1;
    if (one_row) {
      WriteRecordTable(*this);
      WriteRecordLinks(*this, RecordId);
      Write("<br><br>");
      WriteConfiguredLinks(*this);
      Write("<br><br>");
    } else {
      // Every row the address matches is shown, one table each, up to a
      // page's worth; links would not know which one they are for.
      std::int64_t most = BoundedPageSize(std::numeric_limits<double>::infinity());
      for (std::int64_t shown = 0; !rs->Eof() && shown < most; rs->MoveNext(), ++shown)
        WriteRecordTable(*this);
      Write("<br><br>");
    }
    Yaz(BackLink);
  }
  rs->Close();
  Rs = Variant();

  RememberPageAddress("lastinfo");
  ALLPagesEnd();
  return Variant();
}

}  // namespace tabrix
