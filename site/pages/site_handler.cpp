#include "site/pages/site_handler.h"

#include <charconv>
#include <exception>
#include <iostream>
#include <thread>

#include "host/locale/locale.h"
#include "site/pages/answers.h"
#include "site/pages/export_page.h"
#include "site/pages/hosting_pages.h"
#include "site/pages/router.h"
#include "site/pages/static_files.h"
#include "site/session/database_sessions.h"
#include "site/session/session_store.h"

namespace tabrix::site {

namespace {

SessionStoreOptions StoreOptions(const SiteConfig& config) {
  SessionStoreOptions options;
  options.idle = std::chrono::minutes(config.session_idle_minutes);
  options.cookie_secure = config.cookie_secure;
  options.settings = SiteSettings(config);
  return options;
}

// The database a "database" store keeps its sessions in; null for memory.
// Each worker runs at most one request, and a request holds at most one of
// the store's connections.
std::shared_ptr<SessionBacking> BackingOf(const SiteConfig& config) {
  if (config.session_store_kind != "database") return nullptr;
  DatabaseSessionsOptions options;
  options.idle = std::chrono::minutes(config.session_idle_minutes);
  std::size_t workers = config.threads > 0 ? static_cast<std::size_t>(config.threads)
                                           : std::max(1u, std::thread::hardware_concurrency());
  options.connections.max_connections = workers + 1;
  auto backing = std::make_shared<DatabaseSessions>(
      adodb::postgres::PgParamsFor(SessionDatabase(config)), options);
  try {
    backing->Start();
  } catch (const SessionStoreError& e) {
    // The site still starts; the first session read tries again.
    std::cerr << "tabrix: session store not ready: " << e.what() << "\n";
  }
  return backing;
}

}  // namespace

struct SiteHandler::State {
  State(SiteConfig c, Guards g)
      : config(std::move(c)),
        guards(std::move(g)),
        sessions(StoreOptions(config), BackingOf(config)),
        static_files(config.site_root) {}
  SiteConfig config;
  Guards guards;
  SessionStore sessions;
  StaticFiles static_files;
};

namespace {

HttpResponse Dispatch(const SiteContext& site, Route route, const HttpRequest& request,
                      SessionStore::Lease& lease) {
  switch (route) {
    case Route::kHome: return ServeHomePage(site, request, lease);
    case Route::kLogin: return ServeLoginPage(site, request, lease);
    case Route::kHistory: return ServeHistoryPage(site, request, lease);
    case Route::kExport: return ServeExportPage(site, request, lease);
    default: return ServeComponentPage(site, route, request, lease);
  }
}

}  // namespace

void CheckActionsConfigured(const SiteConfig& config) {
  constexpr std::string_view kPrefix = "set_action";
  for (const auto& [key, value] : config.session) {
    if (key.size() <= kPrefix.size() || !EqualsIgnoreCase(std::string_view(key).substr(0, kPrefix.size()), kPrefix)) continue;
    std::string_view digits = std::string_view(key).substr(kPrefix.size());
    long long number = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc() || end != digits.data() + digits.size()) continue;
    if (!config.actions.contains(number))
      throw ConfigError(config.file.string() + ": the session setting \"" + key +
                        "\" defines action " + std::to_string(number) +
                        ", but there is no [actions." + std::to_string(number) +
                        "] to say what it does");
  }
}

SiteHandler::SiteHandler(SiteConfig config) : SiteHandler(config, DefaultGuards(config)) {}

SiteHandler::SiteHandler(SiteConfig config, Guards guards) {
  CheckActionsConfigured(config);
  state_ = std::make_unique<State>(std::move(config), std::move(guards));
}

SiteHandler::~SiteHandler() = default;

HttpResponse SiteHandler::Handle(const HttpRequest& request) {
  try {
    Route route = RouteOf(request.path);
    if (route == Route::kStatic) return state_->static_files.Serve(request);
    if (route == Route::kNotFound) return NotFoundAnswer("");
    bool head = request.method == "HEAD";
    if (request.method != "GET" && !head && request.method != "POST")
      return MethodNotAllowedAnswer();
    // The origin guard comes before the session: a refused POST touches
    // nothing.
    if (request.method == "POST" && !state_->guards.same_origin(request)) return ForbiddenAnswer();

    SessionStore::Lease lease = state_->sessions.Acquire(request);
    // A stored login outlives a restart; one whose user number now names
    // someone else (the configuration changed) is over.
    if (IsLoggedIn(lease.session()) && !LoginStillNamesItsUser(lease.session())) lease.End();
    SiteContext site{state_->config, state_->guards};
    HttpResponse response = Dispatch(site, route, request, lease);
    if (!IsLoggedIn(lease.session())) lease.DiscardIfNew();
    lease.Finish();  // the values are stored before the cookie names them
    std::string cookie = lease.SetCookie();
    if (!cookie.empty()) response.AddHeader("Set-Cookie", cookie);
    if (head) {
      response.body.clear();
      response.stream.reset();  // a HEAD answer reads no rows
    }
    return response;
  } catch (const SessionStoreError& e) {
    return SessionStoreAnswer(e.what(), e.busy());
  } catch (const std::exception& e) {
    std::cerr << "tabrix: internal error: " << e.what() << "\n";
    return InternalErrorAnswer();
  }
}

}  // namespace tabrix::site
