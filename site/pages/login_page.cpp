// The login page and the home page.
#include <string>

#include "host/html.h"
#include "host/text/case_fold.h"
#include "host/variant_ops.h"
#include "site/pages/answers.h"
#include "site/pages/hosting_pages.h"
#include "site/pages/layout.h"
#include "site/pages/page_run.h"

namespace tabrix::site {

namespace {

constexpr const char* kLoginFailed = "The user name or the password is wrong.";
constexpr const char* kWelcome = "Welcome, #user#!";
constexpr const char* kNoPermission = "You do not have permission to view that page.";
constexpr const char* kLoggedOut = "You have logged out.";
// The user name a login was made with, recorded with the session.
constexpr const char* kLoginName = "LoginName";

Variant ConfiguredName(const Session& session) {
  return session.Value("set_user" + ConcatText(session.Value("UserId")) + "_username");
}

std::string LoginForm(const std::string& name) {
  return "<div class=\"card\">\n"
         "<h1>Sign in</h1>\n"
         "<form action=\"Login.asp\" method=\"post\">\n"
         "<label for=\"username\">User name</label>\n"
         "<input type=\"text\" id=\"username\" name=\"username\" value=\"" +
         HtmlEscape(name) +
         "\" autocomplete=\"username\" autofocus>\n"
         "<label for=\"password\">Password</label>\n"
         "<input type=\"password\" id=\"password\" name=\"password\" "
         "autocomplete=\"current-password\">\n"
         "<div class=\"actions\"><button type=\"submit\">Sign in</button></div>\n"
         "</form>\n"
         "</div>";
}

std::string Joined(const std::string& a, const std::string& b) {
  return a.empty() ? b : b.empty() ? a : a + " " + b;
}

// The menu for a visitor who has logged in; "" when the menu fails (the
// login page must show whatever the database does).
std::string MenuFor(const SiteContext& site, const HttpRequest& request,
                    SessionStore::Lease& lease, std::string_view script) {
  if (!IsLoggedIn(lease.session())) return "";
  try {
    std::shared_ptr<void> scope = site.guards.page_scope();
    ComponentRun run(site.config, lease.shared_session(), BuildComponentRequest(request, script));
    return run.RunMenu();
  } catch (const ScriptError&) {
    return "";
  }
}

}  // namespace

std::string TakeMessage(Session& session) {
  std::string message = ConcatText(session.Value("msg"));
  session.Remove("msg");
  return message;
}

bool IsLoggedIn(const Session& session) {
  Variant ok = session.Value("UserOk");
  return ok.IsString() && ok.string() == "yes";
}

bool LoginStillNamesItsUser(const Session& session) {
  Variant recorded = session.Value(kLoginName);
  Variant configured = ConfiguredName(session);
  if (!recorded.IsString() || configured.IsEmpty() || configured.IsNull()) return false;
  return text::FoldedCodePoints(recorded.string()) ==
         text::FoldedCodePoints(ConcatText(configured));
}

HttpResponse ServeLoginPage(const SiteContext& site, const HttpRequest& request,
                            SessionStore::Lease& lease) {
  std::shared_ptr<Request> items = BuildComponentRequest(request, "/Login.asp");
  std::string notice;
  std::string typed_name;
  int status = 200;
  bool warns = false;  // the notice says something went wrong
  if (ConcatText(items->Item("logout")) == "1") {
    lease.End();
    notice = kLoggedOut;
  } else if (request.method == "POST") {
    // Only the posted form logs in; a name in the query string does not.
    typed_name = ConcatText(items->Form("username"));
    std::string password = ConcatText(items->Form("password"));
    if (std::optional<std::string> refusal = site.guards.login_refused(request, typed_name)) {
      notice = *refusal;
      status = 429;
      warns = true;
    } else {
      bool ok = false;
      {
        std::shared_ptr<void> scope = site.guards.page_scope();
        ComponentRun run(site.config, lease.shared_session(), items);
        ok = ToBool(run.object().CheckLogin(Variant(typed_name), Variant(password),
                                            Variant(kLoginFailed), Variant(kWelcome)));
      }
      site.guards.login_result(request, typed_name, ok);
      if (ok) {
        lease.session().SetValue(kLoginName, Variant(ConcatText(ConfiguredName(lease.session()))));
        // A new id at login: an id known before it finds nothing.
        lease.Renew();
        return RedirectAnswer("./");
      }
      warns = true;
    }
  }
  bool refused = ConcatText(items->Item("msg")) == "Y";
  std::string menu = MenuFor(site, request, lease, "/Login.asp");
  // Someone already logged in who was refused a page is told so, with the
  // menu to go on from, rather than asked to sign in again.
  if (refused && IsLoggedIn(lease.session()) && request.method != "POST") {
    return HtmlAnswer(403, RenderLayout({"Refused", menu, TakeMessage(lease.session()),
                                         ErrorBox("Refused", std::string(kNoPermission) +
                                                                 " Your account may not open it: "
                                                                 "choose a table from the menu."),
                                         "Refused"}));
  }
  if (refused) {
    notice = Joined(notice, kNoPermission);
    warns = true;
  }
  std::string message = Joined(notice, TakeMessage(lease.session()));
  LayoutParts parts{"Sign in", menu, message, LoginForm(typed_name)};
  parts.message_warns = warns;
  return HtmlAnswer(status, RenderLayout(parts));
}

namespace {

// What the home page says instead of "choose a table" when the menu offers
// none: the database shows no table, or the account's permissions open
// none of them.
std::string NoTableNotice(Tabrix1& page, const Session& session) {
  long count = static_cast<long>(ToLong(page.TableCount));
  for (long i = 1; i <= count; ++i)
    if (ToBool(page.YetkiKontrol(session.Value("table" + std::to_string(i)), Variant("V"))))
      return "";
  if (count == 0)
    return "<p class=\"notice\">The database shows no table: it holds none, or the site's "
           "set_enabled_tables and set_disabled_tables leave none in the menu.</p>\n";
  std::string user = ConcatText(session.Value("UserId"));
  return "<p class=\"notice\">Your account may open no table: its permissions name none. The "
         "site's owner lists the tables you may open in set_user" +
         HtmlEscape(user) +
         "_CanTable (see &ldquo;Users and permissions&rdquo; in Tabrix's settings reference, "
         "docs/settings.md).</p>\n";
}

}  // namespace

HttpResponse ServeHomePage(const SiteContext& site, const HttpRequest& request,
                           SessionStore::Lease& lease) {
  Session& session = lease.session();
  if (!IsLoggedIn(session)) return RedirectAnswer("Login.asp");
  std::string menu;
  std::string notice;
  try {
    std::shared_ptr<void> scope = site.guards.page_scope();
    ComponentRun run(site.config, lease.shared_session(), BuildComponentRequest(request, "/"));
    menu = run.RunMenu();
    notice = NoTableNotice(run.object(), session);
  } catch (const ScriptError& error) {
    return ErrorAnswer(error, "");
  }
  std::string name =
      ConcatText(session.Value("set_user" + ConcatText(session.Value("UserId")) + "_name"));
  std::string body = "<div class=\"welcome\">\n<h1>Welcome" +
                     (name.empty() ? std::string() : ", " + HtmlEscape(name)) +
                     "</h1>\n" +
                     (notice.empty() ? "<p>Choose a table from the menu to browse its records.</p>\n"
                                     : notice) +
                     "</div>";
  return HtmlAnswer(200, RenderLayout({"Home", menu, TakeMessage(session), body}));
}

}  // namespace tabrix::site
