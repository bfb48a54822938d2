#include "site/pages/guards.h"

#include "host/locale/locale.h"

namespace tabrix::site {

namespace {

// "scheme://host[:port]" of an Origin or Referer value; "" when it has none.
std::string OriginOf(std::string_view url) {
  size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) return "";
  size_t host_end = url.find_first_of("/?#", scheme_end + 3);
  return std::string(url.substr(0, host_end));
}

// The host[:port] part of an origin.
std::string_view HostOf(std::string_view origin) {
  size_t at = origin.find("://");
  return at == std::string_view::npos ? std::string_view() : origin.substr(at + 3);
}

}  // namespace

bool IsSameOriginDefault(const HttpRequest& request, const std::string& public_origin) {
  std::optional<std::string> origin = request.Header("origin");
  std::string claimed;
  if (origin && *origin != "null") claimed = OriginOf(*origin);
  else if (std::optional<std::string> referer = request.Header("referer")) claimed = OriginOf(*referer);
  if (claimed.empty()) return false;
  if (!public_origin.empty()) return EqualsIgnoreCase(claimed, public_origin);
  std::optional<std::string> host = request.Header("host");
  return host && !host->empty() && EqualsIgnoreCase(HostOf(claimed), *host);
}

Guards DefaultGuards(const SiteConfig& config) {
  Guards guards;
  std::string public_origin = config.public_origin;
  guards.same_origin = [public_origin](const HttpRequest& request) {
    return IsSameOriginDefault(request, public_origin);
  };
  // The login throttle is wired at merge.
  guards.login_refused = [](const std::string&) -> std::optional<std::string> {
    return std::nullopt;
  };
  guards.login_result = [](const std::string&, bool) {};
  // The statement time limit is wired at merge.
  guards.page_scope = []() -> std::shared_ptr<void> { return nullptr; };
  return guards;
}

}  // namespace tabrix::site
