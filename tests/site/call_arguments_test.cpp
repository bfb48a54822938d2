// The words of `tabrix call`: options, members and their arguments, what is
// bad usage, and the request the options make.
#include <gtest/gtest.h>

#include "site/call_command.h"

namespace tabrix::site {
namespace {

std::string Shown(const Variant& v) { return DumpJson(VariantToJson(v)); }

TEST(CallArguments, OptionsThenMembersWithTheirArgumentsSplitByThen) {
  CallOptions o = ParseCallArguments({"--config",
                                      "site.toml",
                                      "--locale",
                                      "tr-TR",
                                      "--set",
                                      "set_dns=Provider=SQLite;Data Source=a.db",
                                      "--setjson",
                                      "n=3",
                                      "--set",
                                      "msg=",
                                      "--param",
                                      "t=x=y",
                                      "--form",
                                      "go=1",
                                      "--server-var",
                                      "SCRIPT_NAME=/Search.asp",
                                      "--now",
                                      "2004-03-05 09:07:30",
                                      "GetThis",
                                      "\",a=A,\"",
                                      "1",
                                      "-1",
                                      "empty",
                                      "--then",
                                      "ALLPagesEnd",
                                      "--then",
                                      "Yaz",
                                      "\"--then\""});
  EXPECT_EQ(o.config_file->string(), "site.toml");
  EXPECT_EQ(*o.locale, "tr-TR");
  ASSERT_TRUE(o.now.has_value());
  ASSERT_EQ(o.session_values.size(), 3u);
  EXPECT_EQ(o.session_values[0].first, "set_dns");
  EXPECT_EQ(Shown(o.session_values[0].second), Shown(Variant("Provider=SQLite;Data Source=a.db")));
  EXPECT_EQ(Shown(o.session_values[1].second), Shown(Variant(3)));
  EXPECT_EQ(Shown(o.session_values[2].second), Shown(Variant("")));
  EXPECT_EQ(o.params, (Request::Items{{"t", "x=y"}}));
  EXPECT_EQ(o.form, (Request::Items{{"go", "1"}}));
  EXPECT_EQ(o.server_vars, (Request::Items{{"SCRIPT_NAME", "/Search.asp"}}));

  ASSERT_EQ(o.calls.size(), 3u);
  EXPECT_EQ(o.calls[0].member, "GetThis");
  ASSERT_EQ(o.calls[0].args.size(), 4u);
  EXPECT_EQ(Shown(o.calls[0].args[0]), Shown(Variant(",a=A,")));
  EXPECT_EQ(Shown(o.calls[0].args[2]), Shown(Variant(-1)));  // a negative number is no option
  EXPECT_TRUE(o.calls[0].args[3].IsEmpty());
  EXPECT_EQ(o.calls[1].member, "ALLPagesEnd");
  EXPECT_TRUE(o.calls[1].args.empty());
  EXPECT_EQ(Shown(o.calls[2].args.at(0)), Shown(Variant("--then")));  // quoted, it is a value
}

TEST(CallArguments, BadUsageIsRefused) {
  const std::vector<std::vector<std::string>> cases = {
      {},                       // no member
      {"--set", "a=1"},         // options but no member
      {"--bogus", "Yaz", "1"},  // unknown option
      {"--config"},             // option without its value
      {"--config", "a", "--config", "b", "Yaz", "1"},
      {"--set", "novalue", "Yaz", "1"},     // no "="
      {"--param", "=x", "Yaz", "1"},        // empty name
      {"--setjson", "k=bare", "Yaz", "1"},  // not a value
      {"--now", "yesterday", "Yaz", "1"},
      {"Yaz", "bare"},  // an ARG must be JSON
      {"Yaz", "'x'"},
      {"Yaz", "1", "--then"},  // --then needs a member
      {"Yaz", "1", "--then", "--then", "Yaz"},
      {"--then", "Yaz"},
  };
  for (const auto& words : cases) {
    std::string joined;
    for (const auto& w : words) joined += w + " ";
    SCOPED_TRACE(joined);
    EXPECT_THROW(ParseCallArguments(words), UsageError);
  }
  EXPECT_TRUE(ParseCallArguments({"--set", "a=1", "--help"}).help);
}

TEST(CallArguments, TheQueryStringIsMadeFromTheParamsUnlessGiven) {
  CallOptions o;
  o.params = {{"t", "a b"}, {"x&y", "\xc3\xa9/"}, {"e", ""}, {"t", "2"}};
  auto request = BuildRequest(o);
  EXPECT_EQ(request->ServerVariables("QUERY_STRING").string(), "t=a+b&x%26y=%C3%A9%2F&e=&t=2");
  EXPECT_EQ(request->ServerVariables("SCRIPT_NAME").string(), "/tabrix");
  EXPECT_EQ(request->QueryString("X&Y").string(), "\xc3\xa9/");
  EXPECT_EQ(request->QueryString("t").string(), "a b, 2");
  EXPECT_EQ(request->query_items(), o.params);

  o.server_vars = {
      {"query_string", "t=7&go=1"}, {"script_name", "/Search.asp"}, {"HTTP_HOST", "h"}};
  o.form = {{"go", "posted"}};
  request = BuildRequest(o);
  EXPECT_EQ(request->ServerVariables("QUERY_STRING").string(), "t=7&go=1");
  EXPECT_EQ(request->query_items(), (Request::Items{{"t", "7"}, {"go", "1"}}));
  EXPECT_EQ(request->ServerVariables("SCRIPT_NAME").string(), "/Search.asp");
  EXPECT_EQ(request->ServerVariables("HTTP_HOST").string(), "h");
  EXPECT_EQ(request->Form("go").string(), "posted");
  EXPECT_EQ(request->Item("go").string(), "1");  // the query string comes first

  CallOptions none;
  request = BuildRequest(none);
  EXPECT_EQ(request->ServerVariables("QUERY_STRING").string(), "");
  EXPECT_TRUE(request->query_items().empty());
}

}  // namespace
}  // namespace tabrix::site
