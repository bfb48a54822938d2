// The same-origin check of POSTs: Origin, else the Referer's origin, against
// the configured public origin or else the Host header; a POST that names
// no sender, or a malformed one, is refused.
#include "site/session/same_origin.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tabrix::site {
namespace {

struct Case {
  const char* id;
  const char* host;     // nullptr: no such header
  const char* origin;   // nullptr: no such header
  const char* referer;  // nullptr: no such header
  const char* public_origin;
  bool same;
};

HttpRequest Post(const Case& c) {
  HttpRequest request;
  request.method = "POST";
  request.target = request.path = "/Login.asp";
  if (c.host != nullptr) request.headers.emplace_back("host", c.host);
  if (c.origin != nullptr) request.headers.emplace_back("origin", c.origin);
  if (c.referer != nullptr) request.headers.emplace_back("referer", c.referer);
  return request;
}

TEST(SameOrigin, AgainstTheHostHeader) {
  const Case cases[] = {
      {"host-1.1", "127.0.0.1:8080", "http://127.0.0.1:8080", nullptr, "", true},
      {"host-1.2", "db.example.com", "http://db.example.com", nullptr, "", true},
      {"host-1.3", "DB.Example.COM", "http://db.example.com", nullptr, "", true},
      {"host-1.4", "db.example.com:80", "http://db.example.com", nullptr, "", true},
      {"host-1.5", "db.example.com", "http://db.example.com:80", nullptr, "", true},
      {"host-1.6", "db.example.com", "https://db.example.com", nullptr, "", true},
      {"host-1.7", "db.example.com:443", "https://db.example.com", nullptr, "", true},
      {"host-1.8", "[::1]:8080", "http://[::1]:8080", nullptr, "", true},
      // Another host or port is another site.
      {"host-2.1", "127.0.0.1:8080", "http://127.0.0.1:8081", nullptr, "", false},
      {"host-2.2", "127.0.0.1:8080", "http://localhost:8080", nullptr, "", false},
      {"host-2.3", "db.example.com", "http://evil.example.com", nullptr, "", false},
      {"host-2.4", "db.example.com", "http://db.example.com.evil.net", nullptr, "", false},
      {"host-2.5", "db.example.com:80", "https://db.example.com", nullptr, "", false},
      {"host-2.6", "[::1]:8080", "http://[::2]:8080", nullptr, "", false},
      // The Referer stands in for a missing Origin, never for a wrong one.
      {"referer-1.1", "127.0.0.1:8080", nullptr, "http://127.0.0.1:8080/Add.asp?t=1", "", true},
      {"referer-1.2", "127.0.0.1:8080", nullptr, "http://127.0.0.1:8080", "", true},
      {"referer-1.3", "127.0.0.1:8080", nullptr, "http://127.0.0.1:8080?x=/", "", true},
      {"referer-1.4", "127.0.0.1:8080", nullptr, "http://127.0.0.1:9090/Add.asp", "", false},
      {"referer-1.5", "127.0.0.1:8080", "http://evil.net", "http://127.0.0.1:8080/", "", false},
      {"referer-1.6", "127.0.0.1:8080", "null", "http://127.0.0.1:8080/", "", false},
      // Nothing to go by, or nothing that reads.
      {"refused-1.1", "127.0.0.1:8080", nullptr, nullptr, "", false},
      {"refused-1.2", nullptr, "http://127.0.0.1:8080", nullptr, "", false},
      {"refused-1.3", "127.0.0.1:8080", "", nullptr, "", false},
      {"refused-1.4", "127.0.0.1:8080", "127.0.0.1:8080", nullptr, "", false},
      {"refused-1.5", "127.0.0.1:8080", "ftp://127.0.0.1:8080", nullptr, "", false},
      {"refused-1.6", "127.0.0.1:8080", "http://user@127.0.0.1:8080", nullptr, "", false},
      {"refused-1.7", "127.0.0.1:8080", "http://127.0.0.1:8080/Add.asp", nullptr, "", false},
      {"refused-1.8", "127.0.0.1:8080", "http://127.0.0.1:", nullptr, "", false},
      {"refused-1.9", "127.0.0.1:", "http://127.0.0.1", nullptr, "", false},
      {"refused-1.10", "127.0.0.1:99999", "http://127.0.0.1:99999", nullptr, "", false},
      {"refused-1.11", "127.0.0.1:8080", "http://127.0.0.1:8080x", nullptr, "", false},
      {"refused-1.12", "127.0.0.1:8080", nullptr, "/Add.asp", "", false},
      {"refused-1.13", "127.0.0.1:8080", "http://127.0.0.1:0", nullptr, "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSameOrigin(Post(c), c.public_origin), c.same) << c.id;
}

TEST(SameOrigin, AgainstTheConfiguredPublicOrigin) {
  const char* site = "https://db.example.com";
  const Case cases[] = {
      {"public-1.1", "127.0.0.1:8080", "https://db.example.com", nullptr, site, true},
      {"public-1.2", "127.0.0.1:8080", "https://DB.example.com:443", nullptr, site, true},
      {"public-1.3", nullptr, nullptr, "https://db.example.com/Update.asp?id=1", site, true},
      {"public-1.4", "db.example.com", "https://db.example.com", nullptr,
       "https://db.example.com/", true},
      // The Host the proxy passed on does not count; the scheme does.
      {"public-2.1", "db.example.com", "http://db.example.com", nullptr, site, false},
      {"public-2.2", "127.0.0.1:8080", "http://127.0.0.1:8080", nullptr, site, false},
      {"public-2.3", "db.example.com", "https://db.example.com:8443", nullptr, site, false},
      {"public-2.4", "db.example.com", nullptr, nullptr, site, false},
      {"public-2.5", "db.example.com", "https://db.example.com", nullptr, "not an origin", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSameOrigin(Post(c), c.public_origin), c.same) << c.id;
}

TEST(SameOrigin, TwoOriginHeadersAreRefused) {
  HttpRequest request;
  request.method = "POST";
  request.headers = {{"host", "127.0.0.1:8080"},
                     {"origin", "http://127.0.0.1:8080"},
                     {"origin", "http://127.0.0.1:8080"}};
  EXPECT_FALSE(IsSameOrigin(request, ""));
}

}  // namespace
}  // namespace tabrix::site
