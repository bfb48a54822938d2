// The answers the hosting pages build: an HTML page with the site's
// headers, a redirect, and the pages for refusals and errors (404, 403,
// 500, 503), each in the layout with a short box and nothing more: a
// number and a description, never a stack or SQL text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/error.h"
#include "site/http/http_message.h"

namespace tabrix::site {

// The box that tells what went wrong: `heading` and `text`, both HTML.
std::string ErrorBox(std::string_view heading, std::string_view text);
// `html` as text/html in UTF-8, never cached (pages are per visitor).
HttpResponse HtmlAnswer(int status, std::string html);
// 302 to `location`.
HttpResponse RedirectAnswer(const std::string& location);

// 404 in the layout; `menu` is the menu column or "".
HttpResponse NotFoundAnswer(const std::string& menu);
// 403 for a POST that did not come from the site's own pages.
HttpResponse ForbiddenAnswer();
// 403 in the layout for a page the visitor may not see; `message` is
// plain text.
HttpResponse RefusedAnswer(const std::string& message, const std::string& menu);
// 405 naming the methods a page takes.
HttpResponse MethodNotAllowedAnswer();
// The answer to a page that raised `error`: 503 when the database was busy
// or a statement ran out of time (the visitor may retry), else 500.
HttpResponse ErrorAnswer(const ScriptError& error, const std::string& menu);
// What the user can mend about a refused write: a value the page cannot
// take (400, its description) or a rule of the database it broke (409, in
// words), as HTML, with the field it concerns ("" when it names none).
// Nothing for other failures.
struct RefusedWrite {
  int status;
  std::string html;
  std::string field;
};
std::optional<RefusedWrite> RefusedWriteOf(const ScriptError& error);
// 500 for a page whose output passed max_page_bytes.
HttpResponse PageTooLargeAnswer(const std::string& menu);
// 503 when the shared session store failed or did not answer in time
// (`busy`); the account goes to the log.
HttpResponse SessionStoreAnswer(const std::string& account, bool busy);
// 500 for a failure of our own (not the component's).
HttpResponse InternalErrorAnswer();

}  // namespace tabrix::site
