// The links under a record: update it, run a bulk action on it, and the
// site's configured links ("set_link" + N holds "table,text,url template").
//
// What comes from the request or the row is URL-encoded where it goes into
// a URL: the record id, the record's title, the field values of a template.
// Link texts, templates and table codes are the site's own settings and are
// written as configured.
#include <string>
#include <vector>

#include "component/numbered_settings.h"
#include "component/tabrix1.h"
#include "host/adodb/recordset.h"
#include "host/html.h"
#include "host/locale/locale.h"
#include "host/text/case_fold.h"
#include "host/variant_ops.h"
#include "pages/list_page_parts.h"
#include "pages/record_page_parts.h"

namespace tabrix::record_page {

namespace {

using list_page::FieldName;
using list_page::FieldTotal;
using list_page::Granted;

constexpr std::string_view kLinkSeparator = "&nbsp;&nbsp;|&nbsp;&nbsp;";
constexpr std::string_view kDeleteIcon =
    "<img src='images/ico_sil.gif' border='0' align='absmiddle'>";

// The current table's code for a link, URL-encoded.
std::string TableCode(Tabrix1& page) {
  return page.ServerObject().URLEncode(ConcatText(page.TableCode(page.CurrentTable)));
}

void WriteUpdateLink(Tabrix1& page, const std::string& encoded_id) {
  page.Write("<img src=\"images/ico_guncelle.gif\" border=\"0\" align=\"absmiddle\" "
             "hspace=\"3\"><A href=\"Update.asp?t=");
  page.Write(TableCode(page));
  page.Write("&id=");
  page.Write(encoded_id);
  page.Write("\">Update</a>");
}

// The link that selects this one record for action `number`. A Null title
// cannot be written into the link and raises 94, after the link's start.
void WriteActionLink(Tabrix1& page, const std::string& encoded_id, long number) {
  page.Write("<A href=\"Action.asp?t=");
  page.Write(TableCode(page));
  page.Write("&c=1&id1=");
  page.Write(encoded_id);
  page.Write("|");
  auto& rs = ObjectAs<adodb::Recordset>(page.Rs);
  page.Write(page.ServerObject().URLEncode(ToText(rs.Value(page.TitleField))));
  page.Write("&a=");
  page.Write(std::to_string(number));
  page.Write("\">");
  page.Write(HtmlEscape(ConcatText(page.ActionName(Variant(number)))));
  page.Write("</a>");
}

// Lower-cases the whole text, as every replacement step of a template
// starts by doing; no locale, so a template reads alike on every site.
std::string Lowered(const std::string& text) { return FoldCase(text); }

}  // namespace

void WriteRecordLinks(Tabrix1& page, const Variant& record_id) {
  std::string encoded_id = page.ServerObject().URLEncode(ConcatText(record_id));
  // A view's record is only shown.
  if (!page.CurrentRowKey.Writable()) return;
  long written = 0;
  if (Granted(page.YetkiKontrol(page.CurrentTable, Variant("U")))) {
    WriteUpdateLink(page, encoded_id);
    ++written;
  }
  for (long number = 1; number <= kMaxNumberedEntry; ++number) {
    if (!EntryExists(page, "set_action", number)) break;
    if (!Granted(page.ActionThis(Variant(number), page.CurrentTable))) continue;
    if (written > 0) page.Write(kLinkSeparator);
    ++written;
    // The first action is the delete action and carries its icon.
    if (number == 1) page.Write(kDeleteIcon);
    WriteActionLink(page, encoded_id, number);
  }
}

std::string ConfiguredLinkUrl(Tabrix1& page, const std::string& url_template) {
  std::string url = url_template;
  // Table codes are known only once the menu ran on this object.
  double tables = ToDouble(page.TableCount);
  for (long t = 1; t <= tables; ++t) {
    std::string name = ConcatText(page.Setting("table" + std::to_string(t)));
    url = Lowered(url);
    url = text::ReplaceIgnoringCase(url, "{" + name + "}",
                                    ConcatText(page.TableCode(Variant(name))));
  }
  long total = FieldTotal(page);
  for (long i = 1; i <= total; ++i) {
    Variant name = FieldName(page, i);
    // A field withheld from view leaves its placeholder empty.
    std::string value;
    if (Granted(page.YetkiKontrolField(page.CurrentTable, name, Variant("V"))))
      value = page.ServerObject().URLEncode(ConcatText(page.RsValue(name)));
    url = Lowered(url);
    url = text::ReplaceIgnoringCase(url, "[" + ConcatText(name) + "]", value);
  }
  return url;
}

void WriteConfiguredLinks(Tabrix1& page) {
  std::string table = ConcatText(page.CurrentTable);
  for (long n = 1; n <= kMaxNumberedEntry; ++n) {
    if (!EntryExists(page, "set_link", n)) break;
    std::vector<std::string> fields = EntryPositions(page, "set_link", n);
    std::string key = EntryKey("set_link", n);
    // An entry for another table is skipped before its other fields are read.
    if (!page.NamesTable(RequirePosition(fields, 0, key, "table (field 0)"), table)) continue;
    const std::string& text = RequirePosition(fields, 1, key, "link text (field 1)");
    const std::string& url_template = RequirePosition(fields, 2, key, "URL (field 2)");
    std::string url = ConfiguredLinkUrl(page, url_template);
    page.Write("<A href=\"");
    page.Write(url);
    page.Write("\">");
    page.Write(HtmlEscape(text));
    page.Write("</a><br>");
  }
}

}  // namespace tabrix::record_page
