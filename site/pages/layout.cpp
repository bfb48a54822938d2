#include "site/pages/layout.h"

#include <algorithm>
#include <vector>

#include "host/html.h"

namespace tabrix::site {

namespace {

constexpr std::string_view kVoidElements[] = {"area", "base", "br",    "col",  "embed",
                                              "hr",   "img",  "input", "link", "meta",
                                              "param", "source", "track", "wbr"};

bool IsVoid(const std::string& name) {
  return std::find(std::begin(kVoidElements), std::end(kVoidElements), name) !=
         std::end(kVoidElements);
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// The end of the tag that starts at `at` ("<"): the ">" outside quotes.
size_t TagEnd(std::string_view html, size_t at) {
  char quote = 0;
  for (size_t i = at + 1; i < html.size(); ++i) {
    char c = html[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i;
    }
  }
  return std::string_view::npos;
}

// Where "</" + `name` (lower case; the text in any case) first starts at
// or after `from`; npos when nowhere. Reads the page in place.
size_t FindEndTag(std::string_view html, size_t from, std::string_view name) {
  for (size_t at = html.find("</", from); at != std::string_view::npos;
       at = html.find("</", at + 2)) {
    std::string_view candidate = html.substr(at + 2, name.size());
    if (candidate.size() == name.size() && LowerAscii(candidate) == name) return at;
  }
  return std::string_view::npos;
}

}  // namespace

std::string ClosingTags(std::string_view html) {
  std::vector<std::string> open;
  size_t at = 0;
  while ((at = html.find('<', at)) != std::string_view::npos) {
    if (html.substr(at, 4) == "<!--") {
      size_t end = html.find("-->", at + 4);
      if (end == std::string_view::npos) break;
      at = end + 3;
      continue;
    }
    bool closing = at + 1 < html.size() && html[at + 1] == '/';
    size_t name_start = at + (closing ? 2 : 1);
    size_t name_end = name_start;
    while (name_end < html.size() && IsNameChar(html[name_end])) ++name_end;
    if (name_end == name_start) {  // "<" as text, or "<!DOCTYPE"
      ++at;
      continue;
    }
    size_t end = TagEnd(html, at);
    if (end == std::string_view::npos) break;
    std::string name = LowerAscii(html.substr(name_start, name_end - name_start));
    if (closing) {
      auto it = std::find(open.rbegin(), open.rend(), name);
      if (it != open.rend()) open.erase(std::prev(it.base()), open.end());
    } else if (!IsVoid(name) && html[end - 1] != '/') {
      if (name == "script" || name == "style") {
        // Their text is not markup: skip to the end tag.
        size_t close = FindEndTag(html, end, name);
        if (close == std::string_view::npos) {
          open.push_back(name);
          break;
        }
        at = close;
        continue;
      }
      open.push_back(name);
    }
    at = end + 1;
  }
  std::string tags;
  for (auto it = open.rbegin(); it != open.rend(); ++it) tags += "</" + *it + ">";
  return tags;
}

std::string RenderLayout(const LayoutParts& parts) {
  std::string html;
  html.reserve(parts.body.size() + parts.menu.size() + 2048);
  html +=
      "<!DOCTYPE html>\n"
      "<html lang=\"en\">\n"
      "<head>\n"
      "<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>";
  html += HtmlEscape(parts.title.empty() ? "Tabrix" : parts.title + " - Tabrix");
  html +=
      "</title>\n"
      "<link rel=\"stylesheet\" href=\"assets/tabrix.css\">\n"
      "<script src=\"assets/tabrix.js\"></script>\n"
      "</head>\n"
      "<body>\n"
      "<a class=\"skip-link\" href=\"#main\">Skip to main content</a>\n"
      "<header class=\"site-header\"><a href=\"./\">Tabrix</a></header>\n"
      "<div class=\"site-frame\">\n";
  if (!parts.menu.empty()) {
    html += "<nav class=\"site-menu\"><table class=\"none\"><tr>";
    html += parts.menu;
    html += ClosingTags(parts.menu);
    html += "</tr></table></nav>\n";
  }
  // tabindex lets the skip link move the keyboard's focus, not only the view.
  html += "<main id=\"main\" class=\"site-main\" tabindex=\"-1\">\n";
  if (!parts.heading.empty())
    html += "<h1 class=\"visually-hidden\">" + HtmlEscape(parts.heading) + "</h1>\n";
  if (!parts.message.empty())
    html += parts.message_warns
                ? "<div class=\"msg warn\" role=\"alert\">" + HtmlEscape(parts.message) + "</div>\n"
                : "<div class=\"msg\" role=\"status\">" + HtmlEscape(parts.message) + "</div>\n";
  html += "<div class=\"page\">\n";
  html += parts.body;
  html += ClosingTags(parts.body);
  html +=
      "\n</div>\n"
      "</main>\n"
      "</div>\n"
      "</body>\n"
      "</html>\n";
  return html;
}

}  // namespace tabrix::site
