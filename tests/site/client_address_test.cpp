// The visitor's address: the peer unless it is a trusted proxy, then the
// right-most X-Forwarded-For entry that is not one; the keys addresses are
// counted by (IPv6 per /64); the proxy list as the configuration takes it.
#include "site/session/client_address.h"

#include <gtest/gtest.h>

namespace tabrix::site {
namespace {

HttpRequest From(std::string peer, std::vector<std::string> forwarded = {}) {
  HttpRequest request;
  request.remote_address = std::move(peer);
  for (std::string& value : forwarded) request.headers.emplace_back("x-forwarded-for", value);
  return request;
}

TEST(ClientAddress, OnlyATrustedPeerIsBelievedAboutWhoItForwards) {
  TrustedProxies proxies({"10.0.0.5", "172.16.0.0/12", "fd00::/8"});
  struct Case {
    const char* peer;
    std::vector<std::string> forwarded;
    const char* client;
  };
  const Case cases[] = {
      {"203.0.113.9", {"1.2.3.4"}, "203.0.113.9"},           // no proxy of ours: the peer
      {"10.0.0.5", {}, "10.0.0.5"},                          // a proxy asking for itself
      {"10.0.0.5", {"198.51.100.1"}, "198.51.100.1"},
      // The visitor may write any entries on the left: the right-most
      // untrusted one is the one our proxy saw.
      {"10.0.0.5", {"1.1.1.1, 198.51.100.1"}, "198.51.100.1"},
      {"10.0.0.5", {"1.1.1.1, 198.51.100.1, 172.20.0.3"}, "198.51.100.1"},
      {"10.0.0.5", {"1.1.1.1", "198.51.100.1 ,172.20.0.3"}, "198.51.100.1"},  // two headers
      {"fd00::1", {"2001:db8::7"}, "2001:db8::7"},
      {"10.0.0.5", {"172.20.0.3, 172.20.0.4"}, "172.20.0.3"},  // every hop ours
      {"10.0.0.5", {"garbage, 198.51.100.1"}, "198.51.100.1"},
      {"10.0.0.5", {"198.51.100.1, garbage"}, "10.0.0.5"},  // our proxy wrote nonsense
      {"10.0.0.6", {"198.51.100.1"}, "10.0.0.6"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ClientAddress(From(c.peer, c.forwarded), proxies), c.client) << c.peer;
  EXPECT_EQ(ClientAddress(From("10.0.0.5", {"198.51.100.1"}), TrustedProxies()), "10.0.0.5")
      << "without trusted proxies the header is ignored";
}

TEST(ClientAddress, IPv6IsCountedPerSlash64AndMappedIPv4AsIPv4) {
  const std::pair<const char*, const char*> cases[] = {
      {"192.0.2.1", "192.0.2.1"},
      {"2001:db8:1:2:aaaa:bbbb:cccc:dddd", "2001:db8:1:2::/64"},
      {"2001:db8:1:2::1", "2001:db8:1:2::/64"},
      {"2001:db8:1:3::1", "2001:db8:1:3::/64"},
      {"::ffff:192.0.2.1", "192.0.2.1"},
      {"not an address", "not an address"},
  };
  for (const auto& [address, key] : cases) EXPECT_EQ(AddressKey(address), key) << address;
}

TEST(ClientAddress, ProxyEntriesAreAddressesOrNetworks) {
  for (const char* good : {"10.0.0.5", "10.0.0.0/8", "::1", "fd00::/8", "0.0.0.0/0", "1.2.3.4/32"})
    EXPECT_TRUE(TrustedProxies::Parse(good)) << good;
  for (const char* bad : {"", "10.0.0", "10.0.0.0/33", "10.0.0.0/", "::/129", "host.example",
                          "10.0.0.0/8x", "fe80::1%eth0"})
    EXPECT_FALSE(TrustedProxies::Parse(bad)) << bad;
  TrustedProxies proxies({"10.1.0.0/16", "2001:db8::/32"});
  EXPECT_TRUE(proxies.Contains("10.1.200.3"));
  EXPECT_FALSE(proxies.Contains("10.2.0.1"));
  EXPECT_TRUE(proxies.Contains("2001:db8:ffff::1"));
  EXPECT_TRUE(proxies.Contains("::ffff:10.1.0.1")) << "a dual-stack listener's view of IPv4";
  EXPECT_THROW(TrustedProxies({"10.0.0.0/99"}), std::invalid_argument);
}

}  // namespace
}  // namespace tabrix::site
