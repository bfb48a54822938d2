#include "site/pages/guards.h"

#include <chrono>

#include "site/session/database_login_throttle.h"
#include "site/session/login_throttle.h"
#include "site/session/same_origin.h"

namespace tabrix::site {

Guards DefaultGuards(const SiteConfig& config) {
  Guards guards;
  std::string public_origin = config.public_origin;
  guards.same_origin = [public_origin](const HttpRequest& request) {
    return IsSameOrigin(request, public_origin);
  };
  // One throttle for the site: ten failed logins for a name within 15
  // minutes lock that name for 15 minutes. With sessions in the database,
  // the counts live there too, so the throttle holds across servers.
  static constexpr const char* kRefused =
      "Too many failed logins for this name. Please try again in 15 minutes.";
  if (config.session_store_kind == "database") {
    PgOptions connections;
    connections.max_connections = 2;
    auto throttle = std::make_shared<DatabaseLoginThrottle>(
        adodb::postgres::PgParamsFor(SessionDatabase(config)), LoginThrottleOptions{}, connections);
    using Clock = DatabaseLoginThrottle::Clock;
    guards.login_refused = [throttle](const std::string& name) -> std::optional<std::string> {
      if (!throttle->Refused(name, Clock::now())) return std::nullopt;
      return kRefused;
    };
    guards.login_result = [throttle](const std::string& name, bool succeeded) {
      if (succeeded) throttle->Succeeded(name);
      else throttle->Failed(name, Clock::now());
    };
  } else {
    auto throttle = std::make_shared<LoginThrottle>();
    guards.login_refused = [throttle](const std::string& name) -> std::optional<std::string> {
      if (!throttle->Refused(name, LoginThrottle::Clock::now())) return std::nullopt;
      return kRefused;
    };
    guards.login_result = [throttle](const std::string& name, bool succeeded) {
      if (succeeded) throttle->Succeeded(name);
      else throttle->Failed(name, LoginThrottle::Clock::now());
    };
  }
  // The statement time limit holds for the whole process (statement_timeout,
  // applied at start-up), so a page needs no scope of its own.
  guards.page_scope = []() -> std::shared_ptr<void> { return nullptr; };
  return guards;
}

}  // namespace tabrix::site
