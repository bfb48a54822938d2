// The navigation menu: the user's line, then one link per table the user
// may view. The schema's tables pass the site's filters, each receives its
// table code, distinct from the other tables' codes, and the session learns
// both directions of the mapping, so the other pages can link by code and
// the hosting pages can turn a code back into a table name.
//
// The menu is first collected as text lines ("Menu", then one tab-led
// "caption : name" line per table) and the HTML is made from those lines, so
// a caption or name that holds " : " or a line break is read back the way
// the lines give it.
#include <string>
#include <utility>
#include <vector>

#include "component/tabrix1.h"
#include "host/adodb/connection.h"
#include "host/html.h"
#include "host/text/split.h"
#include "host/variant_ops.h"
#include "values/table_codes.h"

namespace tabrix {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kCaptionSeparator = " : ";
constexpr std::string_view kGroupHeading = "Menu";

constexpr std::string_view kMenuHead =
    "<td width=\"200\" class=\"none\" valign=\"top\" style=\"padding: 10px 10px 10px 10px;\">"
    "<table width=\"200\" class=\"none\" align=\"center\">"
    "<font size=\"1\">&nbsp;&nbsp;";
constexpr std::string_view kLogout =
    " [<A href=\"Login.asp?logout=1\">Logout</a>]<br>&nbsp;<br></font>";
constexpr std::string_view kGroupOpen =
    "<table width=\"200\"><thead><tr><th width=\"100%\" style=\"text-align:left;\" "
    "style=\"height:auto;\"> &nbsp;&nbsp;";
constexpr std::string_view kGroupIcon =
    "<img src=\"images/ico_grup.gif\" align=\"absmiddle\" border=\"0\" hspace=\"10\"></a>"
    "</td></tr></thead></table><div id=\"menu";
constexpr std::string_view kGroupBody =
    "\" style=\"display:\" class=\"none\"><table width=\"200\"><thead>";
constexpr std::string_view kLinkOpen =
    "<tr><td width=\"100%\" class=\"none\" style=\"text-align:left; height:25px;\">&nbsp;"
    "<img src=\"images/ico_tablo.gif\" align=\"absmiddle\"> <A href=\"Search.asp?t=";
constexpr std::string_view kLinkCaption = "&go=1\"><b>";
constexpr std::string_view kLinkClose = "</b></a><font></u></td></tr>";
constexpr std::string_view kGroupClose = "</table></div>";
constexpr std::string_view kMenuEnd = "&nbsp;<br></td>";

// Keeps LeftMenuStr up to date with what was appended, also when a step
// fails half way: the member then holds the menu built so far.
class MenuText {
 public:
  explicit MenuText(Variant& member) : member_(member) {}
  ~MenuText() { member_ = Variant(std::move(text_)); }
  MenuText(const MenuText&) = delete;
  MenuText& operator=(const MenuText&) = delete;

  void Append(std::string_view piece) { text_ += piece; }

 private:
  Variant& member_;
  std::string text_;
};

}  // namespace

Variant Tabrix1::DatabaseMenu() {
  // A menu handed in by the hosting page is written as it is.
  if (!IsEmptyText(LeftMenuStr)) {
    Yaz(LeftMenuStr);
    return Variant();
  }

  {
    MenuText menu(LeftMenuStr);
    menu.Append(kMenuHead);
    menu.Append(HtmlEscape(ConcatText(Setting("set_user" + ConcatText(Setting("UserId")) + "_name"))));
    menu.Append(kLogout);

    std::string lines = std::string(kGroupHeading) + std::string(kLineEnd);
    auto connection = OpenSiteConnection();
    auto tables = connection->OpenSchema(Variant(adodb::kSchemaTables), Variant());

    // The tables that pass the site's filters, in schema order, with their
    // codes; codes are made distinct over the whole menu before any is
    // recorded, so every table can be reached by its own.
    std::vector<std::pair<Variant, std::string>> schema;  // name, type
    for (; !tables->Eof(); tables->MoveNext())
      schema.emplace_back(tables->Value(Variant("TABLE_NAME")),
                          ConcatText(tables->Value(Variant("TABLE_TYPE"))));
    std::vector<std::string> spellings;
    for (const auto& entry : schema) spellings.push_back(ConcatText(entry.first));
    TableTwins.emplace(spellings);

    std::vector<Variant> names;
    std::vector<std::string> codes;
    for (auto& [name_value, type] : schema) {
      bool listed =
          type == "TABLE" || (type == "VIEW" && ConcatText(Setting("set_include_views")) == "yes");
      if (!listed) continue;
      std::string name = ConcatText(name_value);
      bool exact = TableTwins->Has(name);
      std::string disabled = ConcatText(Setting("set_disabled_tables"));
      if (!disabled.empty() && values::ListHolds(disabled, name, exact)) continue;
      std::string enabled = ConcatText(Setting("set_enabled_tables"));
      if (!enabled.empty() && !values::ListHolds(enabled, name, exact)) continue;
      codes.push_back(ConcatText(EnCr(name_value)));
      names.push_back(std::move(name_value));
    }
    codes = values::DistinctCodes(codes);

    Session& settings = SessionObject();
    long count = 0;
    for (size_t i = 0; i < names.size(); ++i) {
      const Variant& name_value = names[i];
      std::string name = ConcatText(name_value);
      Variant code(codes[i]);
      settings.SetValue("table" + std::to_string(count + 1), name_value);
      settings.SetValue("table_" + codes[i], name_value);
      settings.SetValue("code_" + TableKey(name), code);
      std::string caption = ConcatText(Replacetext(CaptionDuzelt(name_value)));
      lines += "\t" + caption + std::string(kCaptionSeparator) + name + std::string(kLineEnd);
      ++count;
    }
    TableCount = Variant(count);

    std::vector<std::string> menu_lines = text::Split(lines, kLineEnd);
    // The text after the last line end is not a line.
    if (!menu_lines.empty() && menu_lines.back().empty()) menu_lines.pop_back();
    long group = 0;
    long links_in_group = 0;
    for (const std::string& line : menu_lines) {
      if (!line.empty() && line[0] != '\t') {
        ++group;
        if (links_in_group > 0) menu.Append(kGroupClose);
        menu.Append(kGroupOpen);
        menu.Append(line);
        menu.Append(kGroupIcon);
        menu.Append(std::to_string(group));
        menu.Append(kGroupBody);
        links_in_group = 0;
        continue;
      }
      std::vector<std::string> parts = text::Split(line, kCaptionSeparator);
      std::string caption;
      std::string table;
      if (parts.size() == 2) {
        for (char c : parts[0])
          if (c != '\t') caption += c;
        table = parts[1];
      }
      if (!YetkiKontrol(Variant(table), Variant("V")).boolean()) continue;
      menu.Append(kLinkOpen);
      menu.Append(ServerObject().URLEncode(ConcatText(TableCode(Variant(table)))));
      menu.Append(kLinkCaption);
      menu.Append(HtmlEscape(caption));
      menu.Append(kLinkClose);
      ++links_in_group;
    }
    if (links_in_group > 0) menu.Append(kGroupClose);
    menu.Append(kMenuEnd);
  }

  Yaz(LeftMenuStr);
  return Variant();
}

}  // namespace tabrix
