#include "site/pages/referring_rows.h"

#include "host/adodb/recordset.h"
#include "host/html.h"
#include "host/sql/legacy_names.h"
#include "host/variant_ops.h"
#include "values/row_address.h"
#include "values/sql_literal.h"

namespace tabrix::site {

namespace {

bool Granted(const Variant& answer) { return ToBool(answer); }

// `value` as an SQL literal: numbers bare, anything else quoted text;
// nullopt for a value no row can refer to (Null, binary).
std::optional<std::string> Literal(const Variant& value) {
  if (value.IsNull() || value.IsEmpty() || value.type() == VarType::Binary) return std::nullopt;
  if (value.IsNumericType()) return SqlLiteralText(value);
  std::string quoted = "'";
  for (char c : ConcatText(value)) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

// `text` for a query string: letters, digits and "-_." stand as they
// are, every other byte as %XX (the server's URLEncode writes "_" as %5F).
std::string QueryPart(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '_' || c == '.';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

Variant ReadOne(Tabrix1& page, const std::string& sql) {
  std::shared_ptr<adodb::Recordset> rs = page.NewRecordset();
  page.OpenRecordset(*rs, sql, adodb::kForwardOnly, adodb::kReadOnly);
  Variant value = rs->Eof() ? Variant::Null() : rs->Value(Variant(0L));
  rs->Close();
  return value;
}

}  // namespace

std::string ReferringRowsHtml(Tabrix1& page, const ReferringKeys& keys, const Variant& record_id) {
  std::string table = ConcatText(page.CurrentTable);
  if (!Granted(page.YetkiKontrol(page.CurrentTable, Variant("V")))) return "";
  std::vector<ReferringKey> referring = keys.To(table);
  if (referring.empty()) return "";
  if (referring.size() > kMaxReferringLinks) referring.resize(kMaxReferringLinks);

  std::string items;
  std::string condition = row_address::Condition(page, ConcatText(record_id));
  for (const ReferringKey& key : referring) {
    Variant child(key.table);
    if (!Granted(page.YetkiKontrol(child, Variant("V"))) ||
        !Granted(page.YetkiKontrolField(child, Variant(key.column), Variant("V"))) ||
        !Granted(page.YetkiKontrolField(page.CurrentTable, Variant(key.parent_column),
                                        Variant("V"))))
      continue;
    Variant held = ReadOne(page, "select " + sql::LegacyName(key.parent_column) + " from " +
                                     sql::BracketedName(table) + " where " + condition);
    std::optional<std::string> literal = Literal(held);
    if (!literal) continue;
    Variant counted = ReadOne(page, "select count(*) from (select 1 as one from " +
                                        sql::BracketedName(key.table) + " where " +
                                        sql::LegacyName(key.column) + "=" + *literal +
                                        " limit " + std::to_string(kMaxCounted + 1) +
                                        ") as counted");
    std::int64_t count = ToLong(counted);
    if (count == 0) continue;
    std::string href = "Search.asp?t=" + QueryPart(ConcatText(page.TableCode(child))) +
                       "&go=1&" + QueryPart(key.column) + "=" + QueryPart(ConcatText(held));
    std::string caption = ConcatText(page.Replacetext(page.CaptionDuzelt(child)));
    // A table that refers by several columns says which one each link is.
    size_t same_table = 0;
    for (const ReferringKey& other : referring) same_table += other.table == key.table ? 1 : 0;
    std::string by =
        same_table > 1
            ? " by " + ConcatText(page.Replacetext(page.CaptionDuzelt(Variant(key.column))))
            : "";
    items += "<li><a href=\"" + HtmlEscape(href) + "\">" + HtmlEscape(caption) + "</a>" +
             HtmlEscape(by) + " (" +
             (count > kMaxCounted ? "more than " + std::to_string(kMaxCounted)
                                  : std::to_string(count)) +
             ")</li>\n";
  }
  if (items.empty()) return "";
  return "<section class=\"referring\" aria-labelledby=\"referring-heading\">\n"
         "<h2 id=\"referring-heading\">Referred to by</h2>\n<ul>\n" +
         items + "</ul>\n</section>\n";
}

}  // namespace tabrix::site
