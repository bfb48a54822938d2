// `tabrix call` as tools drive it: the real executable, its exit codes, its
// JSON report, and the configuration it loads.
#include <gtest/gtest.h>

#include <filesystem>

#include "site/call_fixture.h"

namespace tabrix::site {
namespace {

using testing::CallCommandTest;
using testing::CallResult;
using testing::MakeDatabase;
using testing::V;
namespace fs = std::filesystem;

TEST_F(CallCommandTest, ExitCodesAndWhereTheirMessagesGo) {
  struct Case {
    std::vector<std::string> words;
    int exit_code;
  };
  const Case cases[] = {
      {{"Yaz", "\"x\""}, 0},
      {{"NoSuchMember"}, 1},
      {{"Yaz"}, 1},                  // a wrong argument count is the component's error
      {{}, 2},                       // no member
      {{"--bogus", "Yaz", "1"}, 2},  // unknown option
      {{"Yaz", "bare"}, 2},          // an ARG that is no value
      {{"Yaz", "1", "--then"}, 2},   // --then without a member
      {{"--config", "absent.toml", "Yaz", "1"}, 2},
      {{"--locale", "no such locale!", "Yaz", "1"}, 2},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const auto& w : c.words) joined += w + " ";
    SCOPED_TRACE(joined);
    CallResult run = Call(c.words);
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    if (c.exit_code == 2) {
      EXPECT_EQ(run.out, "");
      EXPECT_NE(run.err, "");
    } else {
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(run.report["error"].is_null(), c.exit_code == 0);
    }
  }
}

TEST_F(CallCommandTest, TheReportHasItsFixedShape) {
  CallResult run = Call({"Yaz", "\"<p>\""});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out.back(), '\n');
  std::vector<std::string> keys;
  for (const auto& [key, value] : run.report.items()) keys.push_back(key);
  EXPECT_EQ(keys,
            (std::vector<std::string>{"calls", "error", "redirect", "sql", "session", "members"}));
  EXPECT_EQ(run.report["calls"], V(R"([{"member":"Yaz","result":{"type":"Empty"},)"
                                   R"("args":[{"type":"String","value":"<p>"}],"output":"<p>"}])"));
  EXPECT_TRUE(run.report["redirect"].is_null());
  EXPECT_EQ(run.report["sql"], Json::array());
  EXPECT_EQ(run.report["session"], Json::object());
  std::vector<std::string> members;
  for (const auto& [key, value] : run.report["members"].items()) {
    members.push_back(key);
    EXPECT_EQ(value, V(R"({"type":"Empty"})")) << key;
  }
  EXPECT_EQ(members, (std::vector<std::string>{
                         "CurrentTable", "TableCaption", "IdField", "TitleField", "ListFields",
                         "SearchFields", "ActionList", "FieldCount", "PageCaption", "CaptionAppend",
                         "BackLink", "LeftMenuStr", "TableCount", "LinkCount"}));
}

TEST_F(CallCommandTest, CallsChainOnOneObjectAndEachOwnsItsOutput) {
  CallResult run = Call({"userlogin", "\"ali\"", "--then", "Yaz", "\"<b>\"", "--then", "Yaz", "12",
                         "--then", "ALLPagesEnd", "--then", "USERLOGIN"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const Json& calls = run.report["calls"];
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0]["member"], "UserLogin");  // as the member table spells it
  EXPECT_EQ(calls[0]["args"], V(R"([{"type":"String","value":"ali"}])"));
  EXPECT_EQ(calls[0]["output"], "");
  EXPECT_EQ(calls[1]["output"], "<b>");
  EXPECT_EQ(calls[2]["output"], "12");
  EXPECT_EQ(calls[3]["output"], "\r\n\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(calls[4]["result"], V(R"({"type":"String","value":"ali"})"));
  EXPECT_EQ(calls[4]["args"], Json::array());
}

TEST_F(CallCommandTest, TheFirstErrorStopsTheCallsAndKeepsWhatWasWritten) {
  CallResult run = Call({"Yaz", "\"a\"", "--then", "NoSuch", "1", "--then", "Yaz", "\"b\""});
  EXPECT_EQ(run.exit_code, 1);
  const Json& calls = run.report["calls"];
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0]["output"], "a");
  EXPECT_EQ(calls[1], V(R"({"member":"NoSuch","result":{"type":"Empty"},)"
                        R"("args":[{"type":"Long","value":1}],"output":""})"));
  EXPECT_EQ(run.report["error"]["member"], "NoSuch");
  EXPECT_EQ(run.report["error"]["number"], 438);
  EXPECT_TRUE(run.report["error"]["description"].is_string());

  run = Call({"ALLPagesEnd", "1"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.report["error"]["member"], "ALLPagesEnd");
  EXPECT_EQ(run.report["error"]["number"], 450);
}

TEST_F(CallCommandTest, ArgumentsOfEveryFormReachTheObjectAsTheirVariants) {
  struct Case {
    const char* arg;
    const char* shown;
  };
  const Case cases[] = {
      {R"("text")", R"({"type":"String","value":"text"})"},
      {"7", R"({"type":"Long","value":7})"},
      {"-2.5", R"({"type":"Double","value":-2.5})"},
      {"true", R"({"type":"Boolean","value":true})"},
      {"null", R"({"type":"Null"})"},
      {"empty", R"({"type":"Empty"})"},
      {R"({"type":"Date","value":"2004-03-05"})",
       R"({"type":"Date","value":"2004-03-05 00:00:00"})"},
      {R"({"type":"Date","value":"2004-03-05 09:07:30"})",
       R"({"type":"Date","value":"2004-03-05 09:07:30"})"},
      {R"({"type":"Currency","value":"12.34"})", R"({"type":"Currency","value":"12.3400"})"},
      {R"({"type":"Decimal","value":"12345678901234567.50"})",
       R"({"type":"Decimal","value":"12345678901234567.5"})"},
      {R"({"type":"Binary","base64":"AP8="})", R"({"type":"Binary","base64":"AP8="})"},
      {R"({"type":"Array","items":[1,"a"]})",
       R"({"type":"Array","items":[{"type":"Long","value":1},{"type":"String","value":"a"}]})"},
      {R"({"type":"Object","class":"Field","Name":"Total","Type":6,"Attributes":104})",
       R"({"type":"Object","class":"Field","Name":"Total","Type":6,"Attributes":104,)"
       R"("Value":{"type":"Empty"}})"},
      {R"({"type":"Object","class":"Dictionary","items":{"1":"a","k":2}})",
       R"({"type":"Object","class":"Dictionary","items":{"1":{"type":"String","value":"a"},)"
       R"("k":{"type":"Long","value":2}}})"},
  };
  // One process: each value is written into a property and read back.
  std::vector<std::string> words;
  for (const Case& c : cases) {
    if (!words.empty()) words.push_back("--then");
    words.insert(words.end(), {"UserLogin", c.arg, "--then", "UserLogin"});
  }
  CallResult run = Call(words);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const Json& calls = run.report["calls"];
  ASSERT_EQ(calls.size(), 2 * std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].arg);
    EXPECT_EQ(calls[2 * i]["args"][0], V(cases[i].shown));
    EXPECT_EQ(calls[2 * i + 1]["result"], V(cases[i].shown));
  }
}

TEST_F(CallCommandTest, TheSessionShowsEveryValueInTheOrderAndCaseOfItsFirstStore) {
  fs::path config = Write("site/tabrix.toml", R"([session]
set_b = 1
Set_A = "from file"
set_when = 2004-03-05
)");
  CallResult run = Call({"--config", config.string(), "--set", "SET_B=2", "--setjson",
                         "new={\"type\":\"Long\",\"value\":5}", "--setjson", "set_a=empty", "--set",
                         "last=", "UserLogin"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.report["session"], V(R"({"set_b":{"type":"String","value":"2"},)"
                                     R"("Set_A":{"type":"Empty"},)"
                                     R"("set_when":{"type":"Date","value":"2004-03-05 00:00:00"},)"
                                     R"("new":{"type":"Long","value":5},)"
                                     R"("last":{"type":"String","value":""}})"));
}

TEST_F(CallCommandTest, ABadConfigurationIsBadUsageNamingItsLine) {
  fs::path config =
      Write("bad.toml", "listen = \"127.0.0.1:8080\"\n[session]\nset_dns = [\"a\"]\n");
  CallResult run = Call({"--config", config.string(), "UserLogin"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(config.string() + ", line 3, key \"session.set_dns\""), std::string::npos)
      << run.err;
}

TEST_F(CallCommandTest, TheLocaleComesFromTheOptionThenTheConfigurationThenEnUs) {
  fs::path config = Write("tr.toml", "locale = \"tr-TR\"\n");
  EXPECT_EQ(Call({"Yaz", "1.5"}).report["calls"][0]["output"], "1.5");
  EXPECT_EQ(Call({"--config", config.string(), "Yaz", "1.5"}).report["calls"][0]["output"], "1,5");
  EXPECT_EQ(Call({"--config", config.string(), "--locale", "en-US", "Yaz", "1.5"})
                .report["calls"][0]["output"],
            "1.5");
}

TEST_F(CallCommandTest, ARelativeDataSourceIsTakenFromTheConfigurationFolderAndItsSqlListed) {
  fs::path config =
      Write("site/tabrix.toml", "[session]\nset_dns = \"Provider=SQLite;Data Source=demo.db\"\n");
  MakeDatabase(dir_ / "site" / "demo.db",
               "create table Customers (CustId integer primary key, Name text);"
               "insert into Customers values (1, 'Ada');");
  // The command runs in the folder above the configuration's.
  CallResult run =
      Call({"--config", config.string(), "GetTableSpesific", "\"Customers\"", "--then",
            "ALLPagesBegin", "--then", "CaptionGetir", "\"Customers\"", "1", "\"Name\""});
  EXPECT_EQ(run.report["members"]["IdField"], V(R"({"type":"String","value":"CustId"})"))
      << run.out;
  ASSERT_EQ(run.report["sql"].size(), 1u) << run.out;
  EXPECT_NE(run.report["sql"][0].get<std::string>().find("[Customers]"), std::string::npos);

  // Without a configuration the current folder is the base.
  run = Call({"--set", "set_dns=Provider=SQLite;Data Source=site/demo.db", "GetTableSpesific",
              "\"Customers\""});
  EXPECT_EQ(run.exit_code, 0) << run.out;
  EXPECT_EQ(run.report["members"]["IdField"], V(R"({"type":"String","value":"CustId"})"));
}

TEST_F(CallCommandTest, ComponentExamplesGiveTheirKnownResults) {
  CallResult run = Call({"GetThis", "\",a=Alpha,b=Beta,\"", "1", "\",b=\"", "\",\""});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.report["calls"][0]["result"], V(R"({"type":"String","value":"Beta"})"));

  run = Call(
      {"--set", "set_replace=cust_id=Customer,ord_date=Order date", "Replacetext", "\"CUST_ID\""});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.report["calls"][0]["result"], V(R"({"type":"String","value":"Customer"})"));
}

TEST_F(CallCommandTest, ShowsARecordPageWithTheMenusTableCodesAfterTheMenuOnTheSameObject) {
  MakeDatabase(dir_ / "shop.db",
               "create table Customers (CustomerId integer primary key, Name text);"
               "create table Orders (Id integer primary key, CustomerId integer, City text);"
               "insert into Customers values (42, 'Ada');"
               "insert into Orders values (7, 42, 'Bonn');");
  CallResult run = Call(
      {"--set", "set_dns=Provider=SQLite;Data Source=shop.db", "--setjson",
       "UserId=1", "--set", "set_user1_CanTable=Customers[V],Orders[VU]", "--set",
       "set_encryptkey=key", "--set", "set_action1=Delete,V,Orders", "--set",
       "set_link1=Orders,Customer,Search.asp?t={Customers}&go=1&q=[CustomerId]",
       "--server-var", "SCRIPT_NAME=/Info.asp", "--param", "t=4ILFIU", "--param", "id=7",
       "DatabaseMenu", "--then", "Info", "\"Orders\"", "7"});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  const Json& calls = run.report["calls"];
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(run.report["session"]["code_Orders"]["value"], "4ILFIU");
  EXPECT_EQ(run.report["session"]["code_Customers"]["value"], "YKUMHRFIU");

  const std::string cell =
      "<td valign=\"top\" width=\"300\" bgcolor=\"#ffffff\" "
      "style=\"padding:10px 10px 10px 10px;\">";
  const std::string expected =
      "<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\">"
      "<caption><font size='1'>Orders</font><br>&nbsp;<b>7</caption></table>"
      "&nbsp;<table><thead>"
      "<tr><th width=\"130\">Id</th>" + cell + "<p align='right'>7</p></td></tr>"
      "<tr><th width=\"130\">Customerid</th>" + cell + "<p align='right'>42</p></td></tr>"
      "<tr><th width=\"130\">City</th>" + cell + "Bonn</td></tr>"
      "</thead></table>&nbsp;<br>"
      "<img src=\"images/ico_guncelle.gif\" border=\"0\" align=\"absmiddle\" hspace=\"3\">"
      "<A href=\"Update.asp?t=4ILFIU&id=7\">Update</a>"
      "&nbsp;&nbsp;|&nbsp;&nbsp;<img src='images/ico_sil.gif' border='0' align='absmiddle'>"
      "<A href=\"Action.asp?t=4ILFIU&c=1&id1=7|7&a=1\">Delete</a>"
      "<br><br>"
      "<A href=\"search.asp?t=ykumhrfiu&go=1&q=42\">Customer</a><br>"
      "<br><br>"
      "<A href=\"#\" onclick=\"history.back()\"><img src='images/butback.gif' border='0'></a>"
      "&nbsp;<br>"
      "\r\n\r\n\r\n\r\n\r\n\r\n";
  EXPECT_EQ(calls[1]["output"], expected);
  EXPECT_EQ(run.report["session"]["lastpage"]["value"], "/Info.asp?t=4ILFIU&id=7");
  EXPECT_EQ(run.report["session"]["lastinfo"]["value"], "/Info.asp?t=4ILFIU&id=7");
  EXPECT_EQ(run.report["members"]["TableCount"], V(R"({"type":"Long","value":2})"));
}

TEST_F(CallCommandTest, InvalidUtf8OutputIsReplacedNotFatal) {
  CallResult run = Call({"--set", "raw=\xff\xfe", "UserLogin"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.report["session"]["raw"]["value"], "\xef\xbf\xbd\xef\xbf\xbd");
}

}  // namespace
}  // namespace tabrix::site
