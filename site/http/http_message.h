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

#include <memory>
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

// A body made while it is sent, for an answer too large to hold at once
// (an export of every row of a table). The server asks for one piece at a
// time on a worker, and for the next only once the previous one is written
// to the client, so memory holds one piece whatever the body's size, and a
// slow reader holds a socket between pieces, never a worker. The server
// drops the stream (on a worker) when the body is complete, when the client
// goes away or stops reading for the write timeout, when the answer runs past
// the stream timeout, and when the server stops: its destructor releases
// what it holds (a database connection).
class BodyStream {
 public:
  virtual ~BodyStream() = default;
  // Appends the next piece of the body to `out` (empty on entry); false
  // when the body ends with it. One call at a time. An exception ends the
  // answer unfinished: the client sees a broken body, never a complete one.
  virtual bool Next(std::string& out) = 0;
};

struct HttpResponse {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;  // in order, as written
  std::string body;
  // When set, the body is this stream's and `body` is unused: written with
  // chunked transfer coding to an HTTP/1.1 client, to the connection's close
  // to an HTTP/1.0 one; a HEAD answer drops it unread.
  std::shared_ptr<BodyStream> stream;
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
