// One HTTP request and its response, as the site's pages see them, apart
// from any socket: the server (http_server.h) parses a request into an
// HttpRequest and writes back the HttpResponse its handler returns, so a
// page can be driven from memory in a test and fuzzed.
//
// The server has already refused what RFC 9112 refuses (bad syntax, a
// missing or repeated Host, conflicting lengths, oversized heads and bodies,
// NUL or bad escapes in the path): a handler only ever sees well-formed
// requests. Header names are lower case; values are as sent, blanks around
// them removed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tabrix::site {

struct HttpRequest {
  std::string method;  // "GET", "POST", "HEAD", ...
  std::string target;  // as sent: the path and, after "?", the query
  std::string path;    // the target's path, percent-decoded ("/Search.asp")
  std::string query;   // the raw query string after "?", or ""
  std::vector<std::pair<std::string, std::string>> headers;  // names lower case
  std::string body;
  std::string remote_address;  // the peer's address, for the access log

  // The value of header `name` (any case); a repeated header's values
  // joined by ", "; nullopt when absent.
  std::optional<std::string> Header(std::string_view name) const;
};

struct HttpResponse {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;  // in order, as written
  std::string body;
  // Close the connection after this response.
  bool close = false;

  // Sets header `name`, replacing an earlier one of the same name (any
  // case); AddHeader keeps earlier ones (Set-Cookie).
  void SetHeader(std::string name, std::string value);
  void AddHeader(std::string name, std::string value);
  std::optional<std::string> Header(std::string_view name) const;
};

// The name=value pairs of a Cookie header ("a=1; b=2"), in order, values
// as sent (not decoded); pairs without a name are left out.
std::vector<std::pair<std::string, std::string>> CookiePairs(std::string_view header);

// The site: one request in, one response out. Called on a worker thread;
// may be called by several workers at once, for different requests. It
// never throws: a failure is a response (500 and a clean error box).
class HttpHandler {
 public:
  virtual ~HttpHandler() = default;
  virtual HttpResponse Handle(const HttpRequest& request) = 0;
};

}  // namespace tabrix::site
