#include "site/session/client_address.h"

// GCC 12 in C++20 mode needs <utility> before Asio.
#include <utility>

#include <boost/asio/ip/address.hpp>

#include <charconv>
#include <stdexcept>

namespace tabrix::site {

namespace ip = boost::asio::ip;

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The address in `text`, an IPv4-mapped IPv6 address as IPv4 (a dual-stack
// listener sees IPv4 visitors so). A zone ("fe80::1%eth0") is refused.
std::optional<ip::address> ParseAddress(std::string_view text) {
  if (text.empty() || text.size() > 45 || text.find('%') != std::string_view::npos)
    return std::nullopt;
  boost::system::error_code error;
  ip::address address = ip::make_address(std::string(text), error);
  if (error) return std::nullopt;
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    return ip::make_address_v4(ip::v4_mapped, address.to_v6());
  return address;
}

std::vector<unsigned char> BytesOf(const ip::address& address) {
  if (address.is_v4()) {
    auto b = address.to_v4().to_bytes();
    return {b.begin(), b.end()};
  }
  auto b = address.to_v6().to_bytes();
  return {b.begin(), b.end()};
}

bool PrefixMatches(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b,
                   unsigned bits) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size() && bits > 0; ++i, bits = bits > 8 ? bits - 8 : 0) {
    unsigned mask = bits >= 8 ? 0xFFu : (0xFFu << (8 - bits)) & 0xFFu;
    if ((a[i] & mask) != (b[i] & mask)) return false;
  }
  return true;
}

}  // namespace

std::string AddressKey(std::string_view text) {
  std::optional<ip::address> address = ParseAddress(Trim(text));
  if (!address) return std::string(text.substr(0, 64));
  if (address->is_v4()) return address->to_string();
  auto bytes = address->to_v6().to_bytes();
  for (std::size_t i = 8; i < bytes.size(); ++i) bytes[i] = 0;
  return ip::address_v6(bytes).to_string() + "/64";
}

std::optional<TrustedProxies::Network> TrustedProxies::Parse(std::string_view text) {
  std::string_view host = text, bits;
  if (std::size_t slash = text.find('/'); slash != std::string_view::npos) {
    host = text.substr(0, slash);
    bits = text.substr(slash + 1);
  }
  std::optional<ip::address> address = ParseAddress(host);
  if (!address) return std::nullopt;
  Network network;
  network.bytes = BytesOf(*address);
  unsigned width = static_cast<unsigned>(network.bytes.size() * 8);
  network.prefix = width;
  if (!bits.empty() || text.find('/') != std::string_view::npos) {
    unsigned n = 0;
    auto [end, ec] = std::from_chars(bits.data(), bits.data() + bits.size(), n);
    if (bits.empty() || ec != std::errc() || end != bits.data() + bits.size() || n > width)
      return std::nullopt;
    network.prefix = n;
  }
  return network;
}

TrustedProxies::TrustedProxies(const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    std::optional<Network> network = Parse(entry);
    if (!network) throw std::invalid_argument("not an address or network: \"" + entry + "\"");
    networks_.push_back(std::move(*network));
  }
}

bool TrustedProxies::Contains(std::string_view text) const {
  std::optional<ip::address> address = ParseAddress(Trim(text));
  if (!address) return false;
  std::vector<unsigned char> bytes = BytesOf(*address);
  for (const Network& network : networks_)
    if (PrefixMatches(bytes, network.bytes, network.prefix)) return true;
  return false;
}

std::string ClientAddress(const HttpRequest& request, const TrustedProxies& proxies) {
  if (!proxies.Contains(request.remote_address)) return request.remote_address;
  std::optional<std::string> forwarded = request.Header("x-forwarded-for");
  if (!forwarded) return request.remote_address;
  // Right to left, past our own proxies.
  std::string_view rest = *forwarded;
  std::string_view last_trusted = request.remote_address;
  while (!rest.empty()) {
    std::size_t comma = rest.rfind(',');
    std::string_view entry =
        Trim(comma == std::string_view::npos ? rest : rest.substr(comma + 1));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(0, comma);
    if (entry.empty()) continue;
    // What a trusted proxy wrote that is no address is a misconfigured
    // proxy: count the request as that proxy's rather than as anyone's.
    if (!ParseAddress(entry)) return std::string(last_trusted);
    if (!proxies.Contains(entry)) return std::string(entry);
    last_trusted = entry;
  }
  return std::string(last_trusted);  // every hop is ours: the left-most one asked
}

}  // namespace tabrix::site
