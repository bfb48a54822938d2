// A small blocking HTTP/1.1 client over a raw socket, for tests that talk
// to a server on 127.0.0.1: it sends bytes exactly as given (so a test can
// send malformed requests) and reads Content-Length-framed and chunked
// responses. Every wait is bounded; a failed connect or send is a test failure.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tabrix::testing {

struct HttpReply {
  int status = 0;
  std::vector<std::pair<std::string, std::string>> headers;  // names lower case
  std::string body;
  bool chunked = false;  // the body came in chunks (and came whole)

  // The first header `name` (lower case), or nullopt.
  std::optional<std::string> Header(std::string_view name) const;
};

class HttpTestConnection {
 public:
  // Connects to 127.0.0.1:port; connected() says whether it did.
  explicit HttpTestConnection(std::uint16_t port);
  ~HttpTestConnection();
  HttpTestConnection(const HttpTestConnection&) = delete;
  HttpTestConnection& operator=(const HttpTestConnection&) = delete;

  bool connected() const { return fd_ >= 0; }
  // Closes the sending side only (the server sees the end of the request
  // stream); replies can still be read.
  void ShutdownSending();
  // Closes with a reset, as a client that gives up does.
  void Reset();
  // Sends all of `bytes`; false (and a test failure unless `quiet`) when it
  // cannot.
  bool Send(std::string_view bytes, bool quiet = false);
  // Reads one response; `head_only` for the answer to HEAD (no body
  // whatever Content-Length says). nullopt when the connection closes, or
  // `limit` passes, before a whole response came.
  std::optional<HttpReply> ReadReply(bool head_only = false,
                                     std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Reads until the server closes the connection (an end of stream or a
  // reset), at most `limit`; true when it closed. What arrived before goes
  // to `*rest`.
  bool WaitClosed(std::chrono::milliseconds limit = std::chrono::seconds(10),
                  std::string* rest = nullptr);

 private:
  // Reads what is there, waiting at most until `deadline`: false on end of
  // stream, reset or deadline.
  bool ReadMore(std::chrono::steady_clock::time_point deadline, bool* closed);

  int fd_ = -1;
  std::string received_;  // bytes read and not yet consumed
};

// "METHOD TARGET HTTP/1.1" with "Host: 127.0.0.1", the extra header lines
// (each "Name: value"), Content-Length when `body` is not empty, and `body`.
std::string MakeRequest(std::string_view method, std::string_view target,
                        const std::vector<std::string>& extra_headers = {},
                        std::string_view body = {});

// One request on a new connection, its reply read.
std::optional<HttpReply> Exchange(std::uint16_t port, std::string_view request,
                                  bool head_only = false);

// One request of a visitor to a site, on a new connection: with the session
// `cookie` (none when empty); a POST is a form posted from the site's own
// pages (`same_origin`) or from elsewhere. A request that gets no answer is
// a test failure (status 0).
HttpReply SessionRequest(std::uint16_t port, const std::string& method, const std::string& target,
                         const std::string& cookie, std::string_view body = {},
                         bool same_origin = true);

// The text of such a request.
std::string SessionRequestText(const std::string& method, const std::string& target,
                               const std::string& cookie, std::string_view body = {},
                               bool same_origin = true);

// One request on a new connection to a server that may be gone (killed):
// nullopt, and no test failure, when it cannot be reached or gives no whole
// answer within `limit`.
std::optional<HttpReply> ExchangeIfServed(std::uint16_t port, std::string_view request,
                                          std::chrono::milliseconds limit = std::chrono::seconds(10));

// The session id a reply's Set-Cookie header carries; "" when none.
std::string SessionCookieOf(const HttpReply& reply);

}  // namespace tabrix::testing
