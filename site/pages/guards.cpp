#include "site/pages/guards.h"

#include <chrono>

#include "site/session/client_address.h"
#include "site/session/database_login_throttle.h"
#include "site/session/login_throttle.h"
#include "site/session/same_origin.h"

namespace tabrix::site {

namespace {

std::optional<std::string> RefusalText(LoginRefusal refusal) {
  switch (refusal) {
    case LoginRefusal::kNone: return std::nullopt;
    case LoginRefusal::kName:
      return "Too many failed logins for this name. Please try again in 15 minutes.";
    case LoginRefusal::kAddress:
      return "Too many failed logins from your address. Please try again in 15 minutes.";
  }
  return std::nullopt;
}

// Wires a throttle (either kind) into the two login guards.
template <typename Throttle>
void UseThrottle(Guards& guards, std::shared_ptr<Throttle> throttle,
                 std::shared_ptr<const TrustedProxies> proxies) {
  using Clock = typename Throttle::Clock;
  guards.login_refused = [throttle, proxies](const HttpRequest& request,
                                             const std::string& name) {
    return RefusalText(
        throttle->Refused(name, AddressKey(ClientAddress(request, *proxies)), Clock::now()));
  };
  guards.login_result = [throttle, proxies](const HttpRequest& request, const std::string& name,
                                            bool succeeded) {
    std::string address = AddressKey(ClientAddress(request, *proxies));
    if (succeeded) throttle->Succeeded(name, address);
    else throttle->Failed(name, address, Clock::now());
  };
}

}  // namespace

Guards DefaultGuards(const SiteConfig& config) {
  Guards guards;
  std::string public_origin = config.public_origin;
  guards.same_origin = [public_origin](const HttpRequest& request) {
    return IsSameOrigin(request, public_origin);
  };
  // One throttle for the site (limits in login_throttle.h). With sessions
  // in the database, the counts live there too, so the throttle holds
  // across servers.
  auto proxies = std::make_shared<const TrustedProxies>(config.trusted_proxies);
  if (config.session_store_kind == "database") {
    PgOptions connections;
    connections.max_connections = 2;
    UseThrottle(guards,
                std::make_shared<DatabaseLoginThrottle>(
                    adodb::postgres::PgParamsFor(SessionDatabase(config)), LoginThrottleOptions{},
                    connections),
                proxies);
  } else {
    UseThrottle(guards, std::make_shared<LoginThrottle>(), proxies);
  }
  // The statement time limit holds for the whole process (statement_timeout,
  // applied at start-up), so a page needs no scope of its own.
  guards.page_scope = []() -> std::shared_ptr<void> { return nullptr; };
  return guards;
}

}  // namespace tabrix::site
