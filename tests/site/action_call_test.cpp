// The bulk action page through `tabrix call` on a SQLite file: the
// confirmation page of three slots with one filled, to the byte, and the
// confirmed request handing back the recordset on the picked record.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "site/variant_json.h"
#include "support/tabrix_process.h"

namespace tabrix::site {
namespace {

using testing::ProcessRun;
using testing::RunTabrix;
using testing::TestFolder;

class ActionCallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir_.path() / "shop.db").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "CREATE TABLE Orders (OrderId INTEGER PRIMARY KEY, Customer TEXT);"
                           "INSERT INTO Orders VALUES (1, 'Ada');"
                           "INSERT INTO Orders VALUES (2, 'Bob');"
                           "INSERT INTO Orders VALUES (3, 'Cy');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }

  // `tabrix call` with the site's settings and the posted `form`, then the
  // calls in `calls`; returns the parsed report.
  Json Call(const std::vector<std::string>& form, const std::vector<std::string>& calls) {
    std::vector<std::string> words = {"call",
                                      "--set", "set_dns=Provider=SQLite;Data Source=shop.db",
                                      "--setjson", "UserId=1",
                                      "--set", "set_user1_CanTable=Orders[VD]",
                                      "--set", "set_action1=Delete,D,ALL",
                                      "--set", "code_Orders=ORD",
                                      "--set", "msg=earlier"};
    for (const std::string& item : form) words.insert(words.end(), {"--form", item});
    words.insert(words.end(), calls.begin(), calls.end());
    ProcessRun run = RunTabrix(dir_.path(), words);
    EXPECT_EQ(run.err, "");
    last_exit_code_ = run.exit_code;
    return run.out.empty() ? Json() : Json::parse(run.out);
  }

  TestFolder dir_;
  int last_exit_code_ = -1;
};

TEST_F(ActionCallTest, TheConfirmationPageRepeatsAllThreeSlots) {
  Json report = Call({"c=3", "id2=2|Bob"},
                     {"Action", "\"Orders\"", "1", "--then", "RsValue", "\"Customer\""});
  // The recordset comes back at its end: reading its record fails.
  EXPECT_EQ(last_exit_code_, 1);
  EXPECT_EQ(report["error"]["member"], "RsValue");
  EXPECT_EQ(report["error"]["number"], 3021);

  const Json& action = report["calls"][0];
  EXPECT_EQ(action["result"], Json::parse(R"({"type":"Object","class":"Recordset"})"));
  EXPECT_EQ(action["output"],
            "<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\">"
            "<caption><font size='1'>Orders</font><br><b>Delete</caption></table>"
            "        <form action=\"Action.asp\" method=\"post\">"
            "        <input type=\"hidden\" name=\"a\" value=\"1\">"
            "        <input type=\"hidden\" name=\"t\" value=\"ORD\">"
            "        <input type=\"hidden\" name=\"c\" value=\"3\">"
            "        <input type=\"hidden\" name=\"idlistcheck\" value=\"\">"
            "        <input type=\"hidden\" name=\"idlist\" value=\"\">"
            "        <input type=\"hidden\" name=\"id1\" value=\"\">"
            "        <input type=\"hidden\" name=\"id2\" value=\"2|Bob\">"
            "        <input type=\"hidden\" name=\"id3\" value=\"\">"
            "        <input type=\"hidden\" name=\"onay\" value=\"1\">"
            "        &nbsp;<br>        <table class=\"none\">        <thead>          <tr>"
            "            <td class=\"none\">Are you sure to want \"<b>Delete</b>\" these records?"
            "            <br>            Records :<br>"
            "            <select size=\"8\" style=\"width:100:px;\"><option>Bob</option></select>"
            "<br>&nbsp;"
            "             <table class=\"none\"><tr><td class=\"none\"><input type=\"image\" "
            "src=\"images/but_yes.gif\"></td><td class=\"none\"><A href=\"#\" "
            "onclick=\"history.back();\"><img src=\"images/but_cancel.gif\" align=\"absmiddle\" "
            "border=\"0\"></a></td></tr></table>"
            "        </font></td>          </tr>        </table>        </form>        &nbsp;"
            "\r\n\r\n\r\n\r\n\r\n\r\n");
  bool queried = false;
  for (const Json& sql : report["sql"])
    queried |= sql == "select * from [Orders] WHERE OrderId in (2)";
  EXPECT_TRUE(queried) << report["sql"].dump();
  EXPECT_EQ(report["session"]["msg"]["value"], "earlier");
}

TEST_F(ActionCallTest, TheConfirmedCallReturnsTheRecordsetOnItsFirstRecord) {
  Json report = Call({"c=3", "id2=2|Bob", "id3=3|Cy", "onay=1"},
                     {"Action", "\"Orders\"", "1", "--then", "RsValue", "\"Customer\""});
  ASSERT_EQ(last_exit_code_, 0) << report.dump();
  EXPECT_EQ(report["calls"][0]["output"],
            "<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\">"
            "<caption><font size='1'>Orders</font><br><b>Delete</caption></table>"
            "\r\n\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(report["calls"][1]["result"], Json::parse(R"({"type":"String","value":"Bob"})"));
  EXPECT_EQ(report["session"]["msg"]["value"], "Record(s) has been delete successfully!");
}

}  // namespace
}  // namespace tabrix::site
