// A request head as it arrives on a connection: parsed by the same Beast
// parser and limits the server uses, then the server's own checks. What
// they accept must be a request a page can be given: its target splits,
// its path holds no NUL, and the access log drops every query value.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "site/http/http_message.h"
#include "site/http/request_head.h"
#include "site/http/request_target.h"

namespace http = boost::beast::http;
using tabrix::site::HttpRequest;

namespace {

std::string_view Sv(boost::beast::string_view text) { return {text.data(), text.size()}; }

// The logged query keeps names only: every "=" ends its pair.
void CheckLogged(std::string_view target) {
  std::string logged = tabrix::site::LoggedTarget(target);
  size_t question = target.find('?');
  FUZZ_CHECK(logged.substr(0, question) == target.substr(0, question));
  if (question == std::string_view::npos) return;
  std::string_view query = std::string_view(logged).substr(question + 1);
  for (size_t at = query.find('='); at != std::string_view::npos; at = query.find('=', at + 1))
    FUZZ_CHECK(at + 1 == query.size() || query[at + 1] == '&');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // The pieces on their own, whatever the bytes.
  CheckLogged(bytes);
  tabrix::site::IsValidHostValue(bytes);
  for (const auto& [name, value] : tabrix::site::CookiePairs(bytes))
    FUZZ_CHECK(!name.empty() && name.find(';') == std::string::npos);
  if (auto split = tabrix::site::ParseOriginTarget(bytes))
    FUZZ_CHECK(split->path.find('\0') == std::string::npos && !split->path.empty());

  // The head, as the connection reads it.
  http::request_parser<http::string_body> parser;
  parser.header_limit(16 * 1024);
  parser.body_limit(64 * 1024);
  boost::beast::error_code error;
  std::string_view rest = bytes;
  while (!rest.empty() && !parser.is_header_done()) {
    std::size_t used = parser.put(boost::asio::buffer(rest.data(), rest.size()), error);
    if (error || used == 0) break;
    rest.remove_prefix(used);
  }
  if (error || !parser.is_header_done()) return 0;
  const auto& head = parser.get();
  CheckLogged(Sv(head.target()));
  if (tabrix::site::http_internal::CheckHead(head) != 0) return 0;

  // Accepted: the connection builds the request from it, trusting the split.
  auto split = tabrix::site::ParseOriginTarget(Sv(head.target()));
  FUZZ_CHECK(split.has_value());
  HttpRequest request;
  request.method = std::string(Sv(head.method_string()));
  request.target = std::string(Sv(head.target()));
  request.path = std::move(split->path);
  request.query = std::move(split->query);
  request.headers = tabrix::site::http_internal::HeaderFields(head);
  FUZZ_CHECK(request.path.front() == '/');
  FUZZ_CHECK(request.target.size() >= request.query.size());
  for (const auto& [name, value] : request.headers) {
    FUZZ_CHECK(tabrix::site::http_internal::Lower(name) == name);
    FUZZ_CHECK(value.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    FUZZ_CHECK(request.Header(name).has_value());
  }
  if (head.version() >= 11) FUZZ_CHECK(request.Header("HOST").has_value());
  if (auto cookie = request.Header("cookie")) tabrix::site::CookiePairs(*cookie);
  return 0;
}
