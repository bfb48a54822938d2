// Gzip for the clients that accept it: the Accept-Encoding negotiation
// (q values, "*", identity), which answers are coded and which are left
// alone, and that a coded body inflates back to the very bytes.
#include "site/http/content_coding.h"

#include <gtest/gtest.h>

#include <string>

#include "support/gunzip.h"

namespace tabrix::site {
namespace {

TEST(ContentCoding, AcceptEncodingNegotiation) {
  struct Case {
    const char* header;
    bool gzip;
  } cases[] = {
      {"gzip", true},
      {"gzip, deflate, br", true},
      {"GZip", true},
      {"x-gzip", true},
      {"", false},
      {"deflate, br", false},
      {"identity", false},
      {"gzip;q=0", false},
      {"gzip; q=0.000", false},
      {"gzip;Q=0.001", true},
      {" gzip ; q = 0.5 ", true},
      {"gzip;q=1.5", false},  // a malformed q refuses
      {"gzip;q=abc", false},
      {"gzip;q=0.0001", false},
      {"*", true},
      {"*;q=0", false},
      {"gzip;q=0, *", false},  // the named coding beats "*"
      {"*;q=0.5, gzip;q=0", false},
      {"identity;q=1, gzip;q=0.5", false},  // identity preferred outright
      {"gzip;q=0.5, identity;q=0.5", true},  // a tie goes to gzip
      {"gzip;q=0.5, *", false},  // "*" speaks for identity too
      {"br;q=1.0, gzip;q=0.8, *;q=0.1", true},
      {"identity;q=0, *;q=0", false},
      {",,gzip,", true},
  };
  for (const Case& c : cases) EXPECT_EQ(AcceptsGzip(c.header), c.gzip) << '"' << c.header << '"';
}

TEST(ContentCoding, WhichAnswersAreCoded) {
  const std::string page(4000, 'x');
  struct Case {
    const char* name;
    const char* method;
    int status;
    const char* type;  // "" for none
    std::size_t size;
    const char* accept;  // nullptr: no Accept-Encoding
    const char* extra_header;  // "name: value" the answer already has, or ""
    bool coded;
    bool vary;
  } cases[] = {
      {"html to a client that accepts gzip", "GET", 200, "text/html; charset=utf-8", 4000, "gzip", "", true, true},
      {"a POST's answer", "POST", 200, "text/html", 4000, "gzip", "", true, true},
      {"an error page", "GET", 404, "text/html", 4000, "gzip", "", true, true},
      {"json", "GET", 200, "application/json", 4000, "gzip", "", true, true},
      {"csv", "GET", 200, "Text/CSV", 4000, "gzip", "", true, true},
      {"no Accept-Encoding", "GET", 200, "text/html", 4000, nullptr, "", false, true},
      {"gzip refused", "GET", 200, "text/html", 4000, "gzip;q=0", "", false, true},
      {"HEAD", "HEAD", 200, "text/html", 4000, "gzip", "", false, false},
      {"a kilobyte exactly", "GET", 200, "text/html", 1024, "gzip", "", false, false},
      {"just over a kilobyte", "GET", 200, "text/html", 1025, "gzip", "", true, true},
      {"an image", "GET", 200, "image/gif", 4000, "gzip", "", false, false},
      {"no type", "GET", 200, "", 4000, "gzip", "", false, false},
      {"204", "GET", 204, "text/html", 4000, "gzip", "", false, false},
      {"304", "GET", 304, "text/html", 4000, "gzip", "", false, false},
      {"already coded", "GET", 200, "text/html", 4000, "gzip", "Content-Encoding: br", false, false},
      {"with a validator", "GET", 200, "text/html", 4000, "gzip", "ETag: \"a\"", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpRequest request;
    request.method = c.method;
    if (c.accept) request.headers.emplace_back("accept-encoding", c.accept);
    HttpResponse response;
    response.status = c.status;
    if (*c.type) response.SetHeader("Content-Type", c.type);
    std::string extra = c.extra_header;
    if (!extra.empty())
      response.SetHeader(extra.substr(0, extra.find(':')), extra.substr(extra.find(':') + 2));
    std::string body = page.substr(0, c.size);
    response.body = body;
    CompressForClient(request, response);
    EXPECT_EQ(response.Header("vary").has_value(), c.vary);
    if (!c.coded) {
      EXPECT_EQ(response.body, body);
      if (extra.empty()) {
        EXPECT_FALSE(response.Header("content-encoding"));
      }
      continue;
    }
    EXPECT_EQ(response.Header("content-encoding").value_or(""), "gzip");
    EXPECT_LT(response.body.size(), body.size());
    EXPECT_EQ(testing::Gunzip(response.body).value_or("(not gzip)"), body);
  }
}

TEST(ContentCoding, VaryKeepsWhatTheAnswerNamedAndIsNotRepeated) {
  HttpRequest request;
  request.method = "GET";
  request.headers.emplace_back("accept-encoding", "gzip");
  for (auto [before, after] : {std::pair{"Origin", "Origin, Accept-Encoding"},
                               std::pair{"accept-encoding", "accept-encoding"},
                               std::pair{"*", "*"}}) {
    HttpResponse response;
    response.SetHeader("Content-Type", "text/html");
    response.SetHeader("Vary", before);
    response.body = std::string(2000, 'y');
    CompressForClient(request, response);
    EXPECT_EQ(response.Header("vary").value_or(""), after);
  }
}

TEST(ContentCoding, EachThreadsStreamIsResetBetweenAnswersAndLevels) {
  // Text of every byte value, so what one call leaves in the stream would
  // show in the next.
  std::string text;
  for (int i = 0; i < 70000; ++i) text += static_cast<char>((i * 7919) % 251);
  std::string html(5000, 'a');
  for (int level : {1, 9, 1, 6}) {
    SCOPED_TRACE(level);
    EXPECT_EQ(testing::Gunzip(Gzip(text, level)), text);
    EXPECT_EQ(testing::Gunzip(Gzip(html, level)), html);
  }
  EXPECT_EQ(testing::Gunzip(Gzip("")), "");
}

}  // namespace
}  // namespace tabrix::site
