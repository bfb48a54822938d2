// SiteHandler: the web site of one configuration. It routes a request to
// a hosting page ("/", "Login.asp", "Search.asp", "Info.asp", "Add.asp",
// "Update.asp", "Action.asp") or to a static file under "assets/" and
// "images/", runs the component for it inside the visitor's session, and
// wraps the page in the layout.
//
// Every POST passes the same-origin guard first (403 otherwise, nothing
// changed). Every session reads the configuration's [session] settings
// through; a session is kept (and its cookie sent) only once someone has
// logged in on it. Threads: Handle may run on several
// workers at once; the requests of one session run one at a time.
#pragma once

#include <memory>

#include "site/config.h"
#include "site/http/http_message.h"
#include "site/pages/guards.h"

namespace tabrix::site {

class SiteHandler : public HttpHandler {
 public:
  // `config` must have been applied to the process (ApplyProcessSettings).
  // Raises ConfigError for what the configuration cannot serve (an action
  // number of the session settings without its [actions.N]). The guards
  // are DefaultGuards(config).
  explicit SiteHandler(SiteConfig config);
  // The same, with the given guards.
  SiteHandler(SiteConfig config, Guards guards);
  ~SiteHandler() override;

  HttpResponse Handle(const HttpRequest& request) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Raises ConfigError when a "set_action" + N setting has no [actions.N].
void CheckActionsConfigured(const SiteConfig& config);

}  // namespace tabrix::site
