#include "site/session/same_origin.h"

#include <optional>
#include <string_view>

namespace tabrix::site {

namespace {

// An origin taken apart: scheme and host lower case, the port always given.
struct Origin {
  std::string scheme;
  std::string host;
  int port = 0;
  bool operator==(const Origin&) const = default;
};

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

int DefaultPort(std::string_view scheme) { return scheme == "https" ? 443 : 80; }

// "host", "host:port", "[v6]" or "[v6]:port" into host and port (the
// scheme's default when none is written). nullopt when malformed.
std::optional<std::pair<std::string, int>> SplitAuthority(std::string_view authority,
                                                          int default_port) {
  std::string_view host = authority, port_text;
  if (!authority.empty() && authority.front() == '[') {
    size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(0, close + 1);
    std::string_view rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port_text = rest.substr(1);
      if (port_text.empty()) return std::nullopt;
    }
  } else {
    size_t colon = authority.find(':');
    if (colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      port_text = authority.substr(colon + 1);
      if (port_text.empty()) return std::nullopt;
    }
  }
  if (host.empty()) return std::nullopt;
  for (char c : host) {
    bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '.' || c == '-' || c == '_' || c == '[' || c == ']' || c == ':';
    if (!allowed) return std::nullopt;
  }
  int port = default_port;
  if (!port_text.empty()) {
    if (port_text.size() > 5) return std::nullopt;
    port = 0;
    for (char c : port_text) {
      if (c < '0' || c > '9') return std::nullopt;
      port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return std::nullopt;
  }
  return std::make_pair(LowerAscii(host), port);
}

// The origin of a URL ("https://host:port/path?query"); with `whole_origin`
// the text must be the origin alone (an Origin header). nullopt when it is
// not an http or https URL with a host.
std::optional<Origin> ParseOrigin(std::string_view url, bool whole_origin) {
  size_t separator = url.find("://");
  if (separator == std::string_view::npos) return std::nullopt;
  std::string scheme = LowerAscii(url.substr(0, separator));
  if (scheme != "http" && scheme != "https") return std::nullopt;
  std::string_view rest = url.substr(separator + 3);
  size_t end = rest.find_first_of("/?#");
  if (end != std::string_view::npos) {
    if (whole_origin && rest.substr(end) != "/") return std::nullopt;
    rest = rest.substr(0, end);
  }
  auto parts = SplitAuthority(rest, DefaultPort(scheme));
  if (!parts) return std::nullopt;
  return Origin{scheme, parts->first, parts->second};
}

}  // namespace

bool IsOrigin(std::string_view text) { return ParseOrigin(text, true).has_value(); }

bool IsSameOrigin(const HttpRequest& request, const std::string& public_origin) {
  std::optional<std::string> origin_header = request.Header("origin");
  std::optional<Origin> sender;
  if (origin_header) {
    sender = ParseOrigin(*origin_header, true);
  } else if (std::optional<std::string> referer = request.Header("referer")) {
    sender = ParseOrigin(*referer, false);
  }
  if (!sender) return false;

  if (!public_origin.empty()) {
    std::optional<Origin> site = ParseOrigin(public_origin, true);
    return site && *site == *sender;
  }
  std::optional<std::string> host = request.Header("host");
  if (!host) return false;
  auto parts = SplitAuthority(*host, DefaultPort(sender->scheme));
  return parts && parts->first == sender->host && parts->second == sender->port;
}

}  // namespace tabrix::site
