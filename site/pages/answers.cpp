#include "site/pages/answers.h"

#include <iostream>

#include "host/html.h"
#include "site/pages/layout.h"

namespace tabrix::site {

std::string ErrorBox(std::string_view heading, std::string_view text) {
  return "<div class=\"error-box\" role=\"alert\"><h2>" + std::string(heading) + "</h2><p>" +
         std::string(text) + "</p></div>";
}

namespace {

HttpResponse BoxAnswer(int status, std::string_view title, std::string_view heading,
                       std::string_view text, const std::string& menu) {
  return HtmlAnswer(status, RenderLayout({std::string(title), menu, "", ErrorBox(heading, text),
                                          std::string(title)}));
}

// What a visitor may read of an error. A statement the engine refused
// would show a piece of the page's SQL, so it gets a general description.
std::string PublicDescription(const ScriptError& error) {
  if (error.native().failure == DbFailure::kStatement)
    return "The database could not run the page's query.";
  return error.description();
}

// The text between `open` and `close` after `from` in `text`; empty when
// either is missing.
std::string Between(const std::string& text, std::string_view open, std::string_view close,
                    size_t from = 0) {
  size_t start = text.find(open, from);
  if (start == std::string::npos) return "";
  start += open.size();
  size_t end = text.find(close, start);
  return end == std::string::npos ? "" : text.substr(start, end - start);
}

// The columns a SQLite constraint message names ("Orders.Code, Orders.Day"),
// without their table.
std::string SqliteColumns(const std::string& message) {
  size_t colon = message.find(": ");
  if (colon == std::string::npos) return "";
  std::string columns;
  std::string list = message.substr(colon + 2);
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(", ", start);
    std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    size_t dot = item.rfind('.');
    columns += (columns.empty() ? "" : ", ") + (dot == std::string::npos ? item : item.substr(dot + 1));
    if (comma == std::string::npos) break;
    start = comma + 2;
  }
  return columns;
}

enum class Rule { kUnique, kNotNull, kForeignKey, kCheck, kOther };

// The rule a write the database refused broke, and the field it names
// ("" when it names none), read from the engine's message.
std::pair<Rule, std::string> BrokenRule(const ScriptError& error) {
  const std::string& message = error.description();
  const std::string& code = error.native().code;
  Rule rule = Rule::kOther;
  std::string field;
  if (error.native().engine == "PostgreSQL") {
    if (code == "23505") rule = Rule::kUnique, field = Between(message, "Key (", ")=");
    if (code == "23502") rule = Rule::kNotNull, field = Between(message, "column \"", "\"");
    if (code == "23503") rule = Rule::kForeignKey;
    if (code == "23514") rule = Rule::kCheck;
  } else {
    if (message.starts_with("UNIQUE") || message.starts_with("PRIMARY KEY"))
      rule = Rule::kUnique, field = SqliteColumns(message);
    if (message.starts_with("NOT NULL")) rule = Rule::kNotNull, field = SqliteColumns(message);
    if (message.starts_with("FOREIGN KEY")) rule = Rule::kForeignKey;
    if (message.starts_with("CHECK")) rule = Rule::kCheck;
  }
  // PostgreSQL quotes a name that needs it; the person reads it bare.
  if (field.size() > 1 && field.front() == '"' && field.back() == '"')
    field = field.substr(1, field.size() - 2);
  return {rule, field};
}

// What a refused write means to the person who typed it: the rule it broke
// and the field, in words, never the engine's text or the SQL.
std::string ConstraintExplanation(const ScriptError& error) {
  auto [rule, field] = BrokenRule(error);
  std::string named = field.empty() ? "a field" : "\"" + HtmlEscape(field) + "\"";
  switch (rule) {
    case Rule::kUnique:
      return "Another record already holds this value of " + named + ". Nothing was changed.";
    case Rule::kNotNull:
      return "The field " + named + " must be filled in. Nothing was changed.";
    case Rule::kForeignKey:
      return "The record refers to a record that does not exist, or other records refer to it. "
             "Nothing was changed.";
    case Rule::kCheck:
      return "A value breaks a rule of the table. Nothing was changed.";
    case Rule::kOther: break;
  }
  return "The database refused the change. Nothing was changed.";
}

}  // namespace

std::optional<RefusedWrite> RefusedWriteOf(const ScriptError& error) {
  if (error.blame() == Blame::kRequest) {
    // The reason alone, as a sentence: the runtime's name for the error
    // ("Type mismatch: ") says nothing to the person who typed the value.
    std::string text = error.description();
    std::string standard = StandardDescription(error.number()) + ": ";
    if (text.starts_with(standard)) text.erase(0, standard.size());
    if (!text.empty() && text.back() != '.') text += '.';
    return RefusedWrite{400, HtmlEscape(text), Between(text, "the field '", "'")};
  }
  if (error.native().failure == DbFailure::kConstraint) {
    std::string field = BrokenRule(error).second;
    // A unique key of several fields names them all: no one field to mark.
    if (field.find(", ") != std::string::npos) field.clear();
    return RefusedWrite{409, ConstraintExplanation(error), field};
  }
  return std::nullopt;
}

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

HttpResponse RefusedAnswer(const std::string& message, const std::string& menu) {
  return BoxAnswer(403, "Refused", "Refused", HtmlEscape(message), menu);
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
  if (failure == DbFailure::kTimeout) {
    // A query that ran out of time will do so again: what helps is asking
    // for less.
    HttpResponse response = BoxAnswer(
        503, "Too slow", "The page took too long",
        "The database could not find these records within the time this site allows. Narrow "
        "the list: search for fewer records (a value in one more field), or sort by another "
        "column, then try again.",
        menu);
    response.SetHeader("Retry-After", "5");
    return response;
  }
  if (failure == DbFailure::kBusy) {
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
  // What the user can mend is theirs to read, and no fault of the server.
  if (error.blame() == Blame::kRequest)
    return BoxAnswer(400, "Cannot be done", "The request cannot be served",
                     RefusedWriteOf(error)->html, menu);
  if (error.blame() == Blame::kRefused)
    return BoxAnswer(403, "Refused", "Refused", HtmlEscape(error.description()), menu);
  if (failure == DbFailure::kConstraint)
    return BoxAnswer(409, "Not saved", "The change was not saved", ConstraintExplanation(error),
                     menu);
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
  std::cerr << "tabrix: page error: the page's output passed max_page_bytes\n";
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
