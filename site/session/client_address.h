// Who a request comes from, for the limits that count per visitor (failed
// logins, open connections).
//
// The peer of the TCP connection is the visitor, unless it is one of the
// configured trusted proxies: then the visitor is the right-most address of
// X-Forwarded-For that is not a trusted proxy (entries to its left were
// written by the visitor and prove nothing). A site behind a proxy that is
// not named would count every visitor as the proxy.
//
// Addresses are counted by AddressKey: an IPv4 address as itself, an IPv6
// address by its /64 network (one customer's share, which a visitor can
// fill with addresses at will), an IPv4-mapped IPv6 address as the IPv4
// one.
//
// Threads: pure functions; a TrustedProxies is read-only once made.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "site/http/http_message.h"

namespace tabrix::site {

// "192.0.2.7", "2001:db8:1:2::/64"; text that is no address is returned
// as given (capped at 64 bytes).
std::string AddressKey(std::string_view address);

class TrustedProxies {
 public:
  // An address ("10.0.0.5", "::1") or a network ("10.0.0.0/8",
  // "fd00::/8"), as the configuration takes it; nullopt when malformed.
  struct Network {
    std::vector<unsigned char> bytes;  // 4 or 16
    unsigned prefix = 0;               // leading bits that must match
  };
  static std::optional<Network> Parse(std::string_view text);

  TrustedProxies() = default;
  // Raises std::invalid_argument naming an entry that does not parse.
  explicit TrustedProxies(const std::vector<std::string>& entries);

  bool empty() const { return networks_.empty(); }
  bool Contains(std::string_view address) const;

 private:
  std::vector<Network> networks_;
};

// The visitor's address (not yet keyed) as described above.
std::string ClientAddress(const HttpRequest& request, const TrustedProxies& proxies);

}  // namespace tabrix::site
