// The request target as the server splits it for a page and writes it into
// the access log, and the Host values it accepts.
#include "site/http/request_target.h"

#include <gtest/gtest.h>

namespace tabrix::site {
namespace {

TEST(RequestTargetTest, OriginFormIsSplitAndItsPathDecoded) {
  struct Case {
    const char* target;
    const char* path;  // nullptr: refused
    const char* query;
  };
  const Case cases[] = {
      {"/", "/", ""},
      {"/Search.asp?t=1&go=%41", "/Search.asp", "t=1&go=%41"},
      {"/a%20b+c", "/a b+c", ""},
      {"/%2e%2E/%2F", "/..//", ""},
      {"/x?", "/x", ""},
      {"/x?a?b", "/x", "a?b"},
      {"/x?q=%zz", "/x", "q=%zz"},  // the query is passed on raw
      {"/%C3%A9", "/\xC3\xA9", ""},
      {"", nullptr, ""},
      {"x/y", nullptr, ""},
      {"*", nullptr, ""},
      {"http://host/x", nullptr, ""},
      {"/a#frag", nullptr, ""},
      {"/a%00", nullptr, ""},
      {"/a%", nullptr, ""},
      {"/a%4", nullptr, ""},
      {"/a%4g", nullptr, ""},
      {"/a%g4", nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    std::optional<SplitTarget> split = ParseOriginTarget(c.target);
    if (c.path == nullptr) {
      EXPECT_FALSE(split);
      continue;
    }
    ASSERT_TRUE(split);
    EXPECT_EQ(split->path, c.path);
    EXPECT_EQ(split->query, c.query);
  }
}

TEST(RequestTargetTest, TheLogKeepsTheQuerysNamesOnly) {
  struct Case {
    const char* target;
    const char* logged;
  };
  const Case cases[] = {
      {"/Search.asp?t=12&go=word&p=3", "/Search.asp?t=&go=&p="},
      {"/a%20b?x=%41", "/a%20b?x="},
      {"/x", "/x"},
      {"/x?", "/x?"},
      {"/x?flag&y=1", "/x?flag&y="},
      {"/x?a=1=2&&b=", "/x?a=&&b="},
  };
  for (const Case& c : cases) EXPECT_EQ(LoggedTarget(c.target), c.logged) << c.target;
}

TEST(RequestTargetTest, HostValues) {
  for (const char* good : {"a", "example.com", "example.com:8080", "127.0.0.1:80", "[::1]",
                           "[::1]:8080", "a:", "xn--bcher-kva.example"})
    EXPECT_TRUE(IsValidHostValue(good)) << good;
  for (const char* bad : {"", ":80", "a b", "a/b", "a@b", "a:8x", "a:123456", "[::1", "[]",
                          "[::1]x", "[g::1]"})
    EXPECT_FALSE(IsValidHostValue(bad)) << bad;
}

}  // namespace
}  // namespace tabrix::site
