#include "site/pages/list_return.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "host/html.h"
#include "host/locale/locale.h"
#include "host/url.h"

namespace tabrix::site {

namespace {

// The items of the pick and of the action, which are no part of the list.
bool IsPickItem(std::string_view name) {
  for (std::string_view item : {"a", "onay", "idler", "idlist", "idlistcheck", "x", "y"})
    if (EqualsIgnoreCase(name, item)) return true;
  return name.size() > 2 && (name[0] == 'i' || name[0] == 'I') && (name[1] == 'd' || name[1] == 'D') &&
         std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Encoded(std::string_view text) { return UrlEncode(text, "-_.*"); }

}  // namespace

std::string ListReturnAddress(const std::optional<std::string>& referer, std::string_view table_code) {
  std::string whole = "Search.asp?t=" + Encoded(table_code) + "&go=1";
  if (!referer) return whole;
  std::string_view address = *referer;
  size_t query_at = address.find('?');
  if (query_at == std::string_view::npos) return whole;
  std::string_view path = address.substr(0, query_at);
  path = path.substr(path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1);
  if (!EqualsIgnoreCase(path, "Action.asp")) return whole;
  std::string_view query = address.substr(query_at + 1);
  query = query.substr(0, query.find('#'));

  std::vector<std::pair<std::string, std::string>> items = ParseUrlEncoded(query);
  bool same_table = std::any_of(items.begin(), items.end(), [&](const auto& item) {
    return item.first == "t" && item.second == table_code;
  });
  if (!same_table) return whole;
  std::string kept;
  for (const auto& [name, value] : items) {
    if (value.empty() || IsPickItem(name)) continue;
    kept += (kept.empty() ? "" : "&") + Encoded(name) + "=" + Encoded(value);
  }
  return "Search.asp?" + kept;
}

std::string ListReturnLink(const std::optional<std::string>& referer, std::string_view table_code) {
  return "<p class=\"list-return\"><a href=\"" + HtmlEscape(ListReturnAddress(referer, table_code)) +
         "\">Back to the list</a></p>";
}

}  // namespace tabrix::site
