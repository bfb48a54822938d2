// The site as a browser meets it: `tabrix serve` on 127.0.0.1 with a small
// configuration, driven over HTTP. Logins and their cookie, the pages for a
// user who may, one who may only view and one who may not, the refusals,
// the export, the throttle and a clean stop.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/http_test_client.h"
#include "support/tabrix_process.h"
#include "support/tabrix_server.h"
#include "support/test_database.h"

namespace tabrix::testing {
namespace {

constexpr const char* kConfig = R"toml(
listen = "127.0.0.1:8080"
[session]
set_dns = "$DNS"
set_encryptkey = "k3y"
set_user1_username = "ada"
set_user1_password = "pw1"
set_user1_name = "Ada"
set_user1_CanTable = "Customers[VAUX]"
set_user2_username = "bo"
set_user2_password = "pw2"
set_user2_name = "Bo"
set_user2_CanTable = "Customers[V]"
set_user3_username = "cy"
set_user3_password = "pw3"
set_user3_name = "Cy"
set_user3_CanTable = "Other[V]"
set_action1 = "Export,X,Customers"
[actions.1]
do = "export"
)toml";

class SiteOverHttp : public ::testing::Test {
 protected:
  void SetUp() override {
    // The database of the engine under test; its connection string goes
    // into the configuration.
    db_.emplace(
        "CREATE TABLE Customers (Id INTEGER PRIMARY KEY, Name TEXT, City TEXT);"
        "INSERT INTO Customers VALUES (1, 'Ada', 'Berlin'), (2, '=cmd()', 'Köln');");
    std::string config = kConfig;
    config.replace(config.find("$DNS"), 4, db_->connection_string());
    std::ofstream(folder_.path() / "site.toml") << config;
    server_.emplace(std::vector<std::string>{"--config", "site.toml", "--listen", "127.0.0.1:0"},
                    folder_.path());
    ASSERT_TRUE(server_->listening()) << server_->Stderr();
  }

  HttpReply Send(const std::string& method, const std::string& target, const std::string& cookie,
                 const std::string& body = {}, bool same_origin = true) {
    return SessionRequest(server_->port(), method, target, cookie, body, same_origin);
  }

  static std::string CookieOf(const HttpReply& reply) { return SessionCookieOf(reply); }

  // Logs `name` in; returns the session id of the logged-in session.
  std::string Login(const std::string& name, const std::string& password) {
    std::string first = CookieOf(Send("GET", "/Login.asp", ""));
    HttpReply reply =
        Send("POST", "/Login.asp", first, "username=" + name + "&password=" + password);
    EXPECT_EQ(reply.status, 302) << reply.body;
    std::string renewed = CookieOf(reply);
    EXPECT_FALSE(renewed.empty());
    EXPECT_NE(renewed, first);  // a new id at login
    return renewed;
  }

  // The table code of Customers, from the home page's menu.
  std::string CustomersCode(const std::string& cookie) {
    std::string home = Send("GET", "/", cookie).body;
    size_t at = home.find("Search.asp?t=");
    EXPECT_NE(at, std::string::npos) << home;
    return home.substr(at + 13, home.find('&', at) - at - 13);
  }

  TestFolder folder_;
  std::optional<TestDatabase> db_;
  std::optional<TabrixServer> server_;
};

TEST_F(SiteOverHttp, ACookieCarriesTheSessionAndPlantedIdsAreNeverAdopted) {
  // A visitor who has not logged in is kept nowhere and sent no cookie; a
  // name and password in a GET log no one in.
  for (const char* target : {"/Login.asp", "/Login.asp?username=ada&password=pw1", "/"})
    EXPECT_EQ(Send("GET", target, "").Header("set-cookie"), std::nullopt) << target;
  // An id the server never issued is not adopted at login.
  std::string planted(32, 'a');
  HttpReply login = Send("POST", "/Login.asp", planted, "username=ada&password=pw1");
  EXPECT_EQ(login.status, 302) << login.body;
  std::string set = login.Header("set-cookie").value_or("");
  EXPECT_NE(set.find("HttpOnly"), std::string::npos) << set;
  EXPECT_NE(set.find("SameSite=Lax"), std::string::npos) << set;
  EXPECT_EQ(CookieOf(login).size(), 32u);
  EXPECT_NE(CookieOf(login), planted);
  EXPECT_EQ(Send("GET", "/", CookieOf(login)).status, 200);
  EXPECT_EQ(Send("GET", "/", planted).status, 302);
}

TEST_F(SiteOverHttp, EachUserSeesWhatTheyMay) {
  std::string ada = Login("ada", "pw1");
  std::string code = CustomersCode(ada);
  HttpReply list = Send("GET", "/Search.asp?t=" + code + "&go=1", ada);
  EXPECT_EQ(list.status, 200);
  EXPECT_NE(list.body.find("Total : <b>2</b>"), std::string::npos);
  EXPECT_NE(list.body.find("Add.asp?t="), std::string::npos);  // Ada may add
  EXPECT_EQ(Send("GET", "/Info.asp?t=" + code + "&id=1", ada).status, 200);
  EXPECT_EQ(Send("GET", "/search.ASP?t=" + code + "&go=1", ada).status, 200);  // any case
  EXPECT_EQ(Send("GET", "/Search.asp?t=NOSUCHCODE&go=1", ada).status, 404);

  std::string bo = Login("bo", "pw2");
  HttpReply view_only = Send("GET", "/Search.asp?t=" + code + "&go=1", bo);
  EXPECT_EQ(view_only.status, 200);
  EXPECT_EQ(view_only.body.find("Add.asp?t="), std::string::npos);
  EXPECT_NE(Send("GET", "/Update.asp?t=" + code + "&id=1", bo).body.find("Access denied!"),
            std::string::npos);

  std::string cy = Login("cy", "pw3");
  HttpReply refused = Send("GET", "/Search.asp?t=" + code + "&go=1", cy);
  EXPECT_EQ(refused.status, 302);
  EXPECT_NE(refused.Header("location").value_or("").find("Login.asp?msg=Y"), std::string::npos);
}

TEST_F(SiteOverHttp, APostFromElsewhereChangesNothingAndLogoutEndsTheSession) {
  std::string ada = Login("ada", "pw1");
  std::string code = CustomersCode(ada);
  std::string post = "go=1&t=" + code + "&id=1&Checked_City=Yes&City=Paris";
  EXPECT_EQ(Send("POST", "/Update.asp", ada, post, /*same_origin=*/false).status, 403);
  EXPECT_EQ(Send("GET", "/Update.asp?" + post, ada).body.find("window.location"),
            std::string::npos);  // a GET writes nothing
  EXPECT_EQ(Send("POST", "/Update.asp", ada, post).status, 200);
  EXPECT_NE(Send("GET", "/Info.asp?t=" + code + "&id=1", ada).body.find("Paris"),
            std::string::npos);

  Send("GET", "/Login.asp?logout=1", ada);
  EXPECT_EQ(Send("GET", "/", ada).status, 302);  // the old id is gone
}

TEST_F(SiteOverHttp, AnExportComesBackAsCsvWithFormulasDefused) {
  std::string ada = Login("ada", "pw1");
  std::string code = CustomersCode(ada);
  HttpReply reply = Send("POST", "/Action.asp", ada,
                         "a=1&t=" + code + "&c=2&id1=1%7CAda&id2=2%7C%3Dcmd()&onay=1");
  EXPECT_EQ(reply.status, 200) << reply.body;
  EXPECT_NE(reply.Header("content-type").value_or("").find("text/csv"), std::string::npos);
  EXPECT_EQ(reply.body.rfind("\xEF\xBB\xBF", 0), 0u);  // a byte-order mark first
  EXPECT_NE(reply.body.find("'=cmd()"), std::string::npos) << reply.body;
  EXPECT_NE(reply.body.find("Köln"), std::string::npos);
}

// The whole result of a search comes over HTTP in chunks, in the list's
// order; HEAD gets the head alone; the bulk export's refusal for others.
TEST_F(SiteOverHttp, TheWholeResultIsExportedInChunks) {
  std::string ada = Login("ada", "pw1");
  std::string code = CustomersCode(ada);
  HttpReply csv = Send("GET", "/Export.asp?t=" + code + "&go=1&o=Id&o2=Desc&c=1&format=csv", ada);
  EXPECT_EQ(csv.status, 200) << csv.body;
  EXPECT_TRUE(csv.chunked);
  EXPECT_EQ(csv.body, "\xEF\xBB\xBFId,Name,City\r\n2,'=cmd(),Köln\r\n1,Ada,Berlin\r\n");
  HttpReply json = Send("GET", "/Export.asp?t=" + code + "&go=1&City=k&format=json", ada);
  EXPECT_EQ(json.body, "[\n{\"Id\":2,\"Name\":\"=cmd()\",\"City\":\"Köln\"}\n]\n");
  HttpTestConnection head(server_->port());
  head.Send(SessionRequestText("HEAD", "/Export.asp?t=" + code + "&format=csv", ada));
  std::optional<HttpReply> head_reply = head.ReadReply(true);
  ASSERT_TRUE(head_reply);
  EXPECT_EQ(head_reply->status, 200);
  EXPECT_EQ(Send("GET", "/Export.asp?t=" + code + "&format=csv", Login("bo", "pw2")).status, 403);
}

TEST_F(SiteOverHttp, TenFailedLoginsLockTheNameWhateverThePassword) {
  std::string cookie = CookieOf(Send("GET", "/Login.asp", ""));
  for (int attempt = 0; attempt < 10; ++attempt)
    Send("POST", "/Login.asp", cookie, "username=ADA&password=wrong");
  HttpReply locked = Send("POST", "/Login.asp", cookie, "username=ada&password=pw1");
  EXPECT_NE(locked.status, 302);
  EXPECT_NE(locked.body.find("Too many failed logins"), std::string::npos) << locked.body;
  // Another name still logs in.
  Login("bo", "pw2");
}

TEST_F(SiteOverHttp, StopsCleanlyOnSigterm) {
  EXPECT_EQ(Send("GET", "/images/but_search.gif", "").status, 200);
  EXPECT_EQ(server_->Stop(), 0);
  EXPECT_NE(server_->Stderr().find("GET /images/but_search.gif 200"), std::string::npos);
}

}  // namespace
}  // namespace tabrix::testing
