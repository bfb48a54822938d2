// Guards: the protections a hosting page calls at fixed points, each in one
// place, so the real checks plug in without touching the pages:
//   same_origin    before any POST is handled (login, add, update, a
//                  confirmed action); false answers 403 and nothing changes;
//   login_refused  before CheckLogin: a message when attempts for the name
//                  from the request's visitor are refused for now
//                  (throttling), nullopt to go on;
//   login_result   after CheckLogin, with its outcome for the name;
//   page_scope     around one run of the component: what it returns lives
//                  while the component runs (a statement time limit).
// DefaultGuards gives the site's own checks; a test hands in others.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "site/config.h"
#include "site/http/http_message.h"

namespace tabrix::site {

struct Guards {
  std::function<bool(const HttpRequest&)> same_origin;
  std::function<std::optional<std::string>(const HttpRequest&, const std::string& name)>
      login_refused;
  std::function<void(const HttpRequest&, const std::string& name, bool succeeded)> login_result;
  std::function<std::shared_ptr<void>()> page_scope;
};

// The site's checks: IsSameOrigin (site/session/same_origin.h) against
// `public_origin` or the Host; one login throttle for the site (its counts
// in the site's database with a "database" session store), counting the
// visitor's address as client_address.h finds it behind `trusted_proxies`;
// no page scope (the statement time limit is process-wide).
Guards DefaultGuards(const SiteConfig& config);

}  // namespace tabrix::site
