// SiteHandler: the web site of one configuration. It routes a request to
// a hosting page ("/", "Login.asp", "Search.asp", "Info.asp", "Add.asp",
// "Update.asp", "Action.asp") or to a static file under "assets/" and
// "images/", runs the component for it inside the visitor's session, and
// wraps the page in the layout.
#pragma once

#include <memory>

#include "site/config.h"
#include "site/http/http_message.h"

namespace tabrix::site {

class SiteHandler : public HttpHandler {
 public:
  // `config` must have been applied to the process (ApplyProcessSettings).
  // Raises ConfigError for what the configuration cannot serve.
  explicit SiteHandler(SiteConfig config);
  ~SiteHandler() override;

  HttpResponse Handle(const HttpRequest& request) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tabrix::site
