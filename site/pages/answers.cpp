#include "site/pages/answers.h"

#include <iostream>

#include "host/html.h"
#include "site/pages/layout.h"

namespace tabrix::site {

namespace {

std::string Box(std::string_view heading, std::string_view text) {
  return "<div class=\"error-box\" role=\"alert\"><h2>" + std::string(heading) + "</h2><p>" +
         std::string(text) + "</p></div>";
}

HttpResponse BoxAnswer(int status, std::string_view title, std::string_view heading,
                       std::string_view text, const std::string& menu) {
  return HtmlAnswer(status, RenderLayout({std::string(title), menu, "", Box(heading, text)}));
}

// What a visitor may read of an error. A statement the engine refused
// would show a piece of the page's SQL, so it gets a general description.
std::string PublicDescription(const ScriptError& error) {
  if (error.native().failure == DbFailure::kStatement)
    return "The database could not run the page's query.";
  return error.description();
}

}  // namespace

HttpResponse HtmlAnswer(int status, std::string html) {
  HttpResponse response;
  response.status = status;
  response.SetHeader("Content-Type", "text/html; charset=utf-8");
  response.SetHeader("Cache-Control", "no-store");
  response.SetHeader("X-Content-Type-Options", "nosniff");
  response.SetHeader("X-Frame-Options", "DENY");
  response.SetHeader("Referrer-Policy", "same-origin");
  response.body = std::move(html);
  return response;
}

HttpResponse RedirectAnswer(const std::string& location) {
  HttpResponse response = HtmlAnswer(302, "");
  response.SetHeader("Location", location);
  return response;
}

HttpResponse NotFoundAnswer(const std::string& menu) {
  return BoxAnswer(404, "Not found", "Not found",
                   "There is no such page here. Choose a table from the menu.", menu);
}

HttpResponse ForbiddenAnswer() {
  return BoxAnswer(403, "Refused", "Refused",
                   "This form was not sent from this site's own pages, so nothing was changed.",
                   "");
}

HttpResponse MethodNotAllowedAnswer() {
  HttpResponse response = BoxAnswer(405, "Not allowed", "Not allowed",
                                    "This page answers GET, HEAD and POST requests only.", "");
  response.SetHeader("Allow", "GET, HEAD, POST");
  return response;
}

HttpResponse ErrorAnswer(const ScriptError& error, const std::string& menu) {
  // The whole account goes to the operator's log, never to the page.
  std::cerr << "tabrix: page error " << error.number() << ": " << error.description() << "\n";
  DbFailure failure = error.native().failure;
  if (failure == DbFailure::kBusy || failure == DbFailure::kTimeout) {
    HttpResponse response =
        BoxAnswer(503, "Busy", "The database is busy",
                  "The page could not be made in time. Please try again in a moment.", menu);
    response.SetHeader("Retry-After", "5");
    return response;
  }
  if (failure == DbFailure::kConnection) {
    // A change cut off while it was committed may or may not be stored:
    // the visitor is told so, not asked to send it again blindly.
    bool in_doubt = error.description().find("outcome of the last change is unknown") !=
                    std::string::npos;
    HttpResponse response = BoxAnswer(
        503, "Unavailable", "The database cannot be reached",
        in_doubt ? "The connection to the database was lost while the last change was being "
                   "saved, so whether it was saved is unknown. Check the record before you "
                   "send it again."
                 : "The database is away for the moment. Please try again in a little while.",
        menu);
    response.SetHeader("Retry-After", "5");
    return response;
  }
  return BoxAnswer(500, "Error", "The page could not be shown",
                   "Error " + std::to_string(error.number()) + ": " +
                       HtmlEscape(PublicDescription(error)),
                   menu);
}

HttpResponse SessionStoreAnswer(const std::string& account, bool busy) {
  std::cerr << "tabrix: session store: " << account << "\n";
  HttpResponse response =
      busy ? BoxAnswer(503, "Busy", "Your session is busy",
                       "Another request of your session is still running. Please try again in "
                       "a moment.",
                       "")
           : BoxAnswer(503, "Unavailable", "Sessions are not available",
                       "The site cannot reach the database that keeps its sessions. Please try "
                       "again in a moment.",
                       "");
  response.SetHeader("Retry-After", busy ? "2" : "5");
  return response;
}

HttpResponse PageTooLargeAnswer(const std::string& menu) {
  return BoxAnswer(500, "Error", "The page is too large",
                   "The page grew past the size this site allows. Show fewer records per page "
                   "or narrow the search.",
                   menu);
}

HttpResponse InternalErrorAnswer() {
  return BoxAnswer(500, "Error", "The page could not be shown",
                   "An internal error stopped this page. Please try again.", "");
}

}  // namespace tabrix::site
