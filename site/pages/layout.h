// The layout: every page the site renders, as one complete HTML5 document
// in UTF-8. A link that skips to the page, a header bar, the menu column
// (what DatabaseMenu wrote), the message box ("msg", shown once), and the
// page's own output inside the main landmark. The component's markup may leave elements open (a form, a
// table, a font); the layout closes them after the page's output, so its
// own frame stays intact.
#pragma once

#include <string>
#include <string_view>

namespace tabrix::site {

struct LayoutParts {
  std::string title;    // plain text, escaped here
  std::string menu;     // the menu's HTML (a table cell), or "" for none
  std::string message;  // plain text, escaped here; "" for no box
  std::string body;     // the page's HTML, written as it is
  // Plain text, escaped here; "" for none. The page's h1 for pages whose own
  // output has none (the component's pages show their table in a caption):
  // read by screen readers, not drawn.
  std::string heading = {};
  // The message says something went wrong (a refused login, a page the
  // visitor may not see): drawn as a warning, not as a success.
  bool message_warns = false;
};

// The whole document.
std::string RenderLayout(const LayoutParts& parts);

// The end tags that close what `html` leaves open, innermost first
// ("</b></td></tr></table>"). Void elements, self-closed tags, comments and
// the text of script and style elements are skipped; an end tag closes the
// nearest open element of its name and everything opened inside it.
std::string ClosingTags(std::string_view html);

}  // namespace tabrix::site
