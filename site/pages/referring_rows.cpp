#include "site/pages/referring_rows.h"

#include <map>

#include "host/adodb/recordset.h"
#include "host/html.h"
#include "host/locale/locale.h"
#include "host/sql/legacy_names.h"
#include "host/url.h"
#include "host/variant_ops.h"
#include "values/row_address.h"

namespace tabrix::site {

namespace {

// `text` for a query string, with "-_." kept as they stand (the server's
// URLEncode writes "_" as %5F, which no one reads easily in a link).
std::string QueryPart(const std::string& text) { return UrlEncode(text, "-_."); }

Variant ReadOne(Tabrix1& page, const std::string& sql) {
  std::shared_ptr<adodb::Recordset> rs = page.NewRecordset();
  page.OpenRecordset(*rs, sql, adodb::kForwardOnly, adodb::kReadOnly);
  Variant value = rs->Eof() ? Variant::Null() : rs->Value(Variant(0L));
  rs->Close();
  return value;
}

// Whether the list page reads `column`'s name as one of its own request
// items (the table, paging, sorting): a criterion of that name cannot be
// put in its address.
bool NamesAListItem(const std::string& column) {
  static constexpr std::string_view kItems[] = {"t", "go", "o", "hf", "c", "p", "s", "a", "id"};
  for (std::string_view item : kItems)
    if (EqualsIgnoreCase(column, item)) return true;
  return false;
}

}  // namespace

std::string ReferringRowsHtml(Tabrix1& page, const ReferringKeys& keys, const Variant& record_id) {
  std::string table = ConcatText(page.CurrentTable);
  if (!ToBool(page.YetkiKontrol(page.CurrentTable, Variant("V")))) return "";
  std::vector<ReferringKey> referring = keys.To(table);
  if (referring.empty()) return "";

  std::string condition = row_address::Condition(page, ConcatText(record_id));
  std::map<std::string, Variant> held;  // the record's value of each referred column
  std::string items;
  std::size_t asked = 0;
  std::size_t shown = 0;
  bool cut = false;
  for (const ReferringKey& key : referring) {
    Variant child(key.table);
    if (!ToBool(page.YetkiKontrol(child, Variant("V"))) ||
        !ToBool(page.YetkiKontrolField(child, Variant(key.column), Variant("V"))) ||
        !ToBool(page.YetkiKontrolField(page.CurrentTable, Variant(key.parent_column),
                                        Variant("V"))))
      continue;
    // A table the menu does not offer (set_disabled_tables, say) is not
    // served: its rows are not counted either.
    std::string code = ConcatText(page.TableCode(child));
    if (code.empty()) continue;
    if (++asked > kMaxReferringCounts || shown == kMaxReferringLinks) {
      cut = true;
      break;
    }
    // The record's own value is compared inside the query, in the
    // database's own type: no text form of a date or a number goes between.
    std::string held_query = "select " + sql::LegacyName(key.parent_column) + " from " +
                             sql::BracketedName(table) + " where " + condition;
    std::int64_t count = ToLong(ReadOne(
        page, "select count(*) from (select 1 as one from " + sql::BracketedName(key.table) +
                  " where " + sql::LegacyName(key.column) + "=(" + held_query + ") limit " +
                  std::to_string(kMaxCounted + 1) + ") as counted"));
    if (count == 0) continue;
    ++shown;
    auto value = held.find(key.parent_column);
    if (value == held.end())
      value = held.emplace(key.parent_column, ReadOne(page, held_query)).first;
    std::string caption = ConcatText(page.Replacetext(page.CaptionDuzelt(child)));
    // A table that refers by several columns says which one each entry is.
    size_t same_table = 0;
    for (const ReferringKey& other : referring) same_table += other.table == key.table ? 1 : 0;
    std::string by =
        same_table > 1
            ? " by " + ConcatText(page.Replacetext(page.CaptionDuzelt(Variant(key.column))))
            : "";
    std::string counted = count > kMaxCounted ? "more than " + std::to_string(kMaxCounted)
                                              : std::to_string(count);
    // The list's search finds a number exactly; a text by any part of it
    // and a date by a range, which would show other rows than counted: those
    // are counted without a link.
    VarType type = value->second.type();
    bool number = type == VarType::Long || type == VarType::Double ||
                  type == VarType::Currency || type == VarType::Decimal;
    if (number && !NamesAListItem(key.column)) {
      std::string href = "Search.asp?t=" + QueryPart(code) + "&go=1&" + QueryPart(key.column) +
                         "=" + QueryPart(ConcatText(value->second));
      items += "<li><a href=\"" + HtmlEscape(href) + "\">" + HtmlEscape(caption) + "</a>" +
               HtmlEscape(by) + " (" + counted + ")</li>\n";
    } else {
      items += "<li>" + HtmlEscape(caption + by) + " (" + counted + ")</li>\n";
    }
  }
  if (items.empty()) return "";
  return "<section class=\"referring\" aria-labelledby=\"referring-heading\">\n"
         "<h2 id=\"referring-heading\">Referred to by</h2>\n<ul>\n" +
         items + "</ul>\n" +
         (cut ? "<p>More tables refer to this record than are listed here.</p>\n" : "") +
         "</section>\n";
}

}  // namespace tabrix::site
