// The hosting pages: the home page, the login page and the pages that run a
// component page method (Search, Info, Add, Update, Action), each inside
// the visitor's session lease.
//
// A component page: a visitor who has not logged in is sent to the login
// page; the component runs DatabaseMenu and then the page method on one
// object, with "t" turned into the table name through the session's
// "table_" + code (an unknown code: 404). GET requests change no data: the
// items that make Add and Update write ("go") and Action confirm ("onay")
// are withheld from a GET. The answer is the component's redirect, its
// location script as it is, or the layout around its output; "msg" is
// shown and cleared only by the layout.
#pragma once

#include "site/config.h"
#include "site/http/http_message.h"
#include "site/pages/guards.h"
#include "site/pages/router.h"
#include "site/session/session_store.h"

namespace tabrix::site {

struct SiteContext {
  const SiteConfig& config;
  const Guards& guards;
};

// "/": the menu and a welcome.
HttpResponse ServeHomePage(const SiteContext& site, const HttpRequest& request,
                           SessionStore::Lease& lease);

// "Login.asp": the form; a POST logs in (a new session id, then "/");
// "logout=1" ends the session; "msg=Y" says the user lacks a permission.
HttpResponse ServeLoginPage(const SiteContext& site, const HttpRequest& request,
                            SessionStore::Lease& lease);

// Search, Info, Add, Update and Action.
HttpResponse ServeComponentPage(const SiteContext& site, Route route, const HttpRequest& request,
                                SessionStore::Lease& lease);

// "History.asp?t=CODE&id=ADDRESS": the recorded changes of one record,
// newest first, for a user holding "H" on its table (others: 403); 404
// when the site keeps no history or the code names no table.
HttpResponse ServeHistoryPage(const SiteContext& site, const HttpRequest& request,
                              SessionStore::Lease& lease);

// The session's "msg", cleared: the layout shows it once.
std::string TakeMessage(Session& session);

// Whether the session's visitor has logged in.
bool IsLoggedIn(const Session& session);

// Whether the session's login still names its user: the name recorded at
// login is the user name its user number has in the settings now (ignoring
// letter case, as the login does).
bool LoginStillNamesItsUser(const Session& session);

}  // namespace tabrix::site
