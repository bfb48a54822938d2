// Two `tabrix serve` processes on one site whose sessions live in its
// PostgreSQL database, as behind a load balancer: a login on one is
// honoured by the other and a logout on either ends it; failed logins count
// across both; an add on one shows on the other's list; with the database
// stopped under load both answer 503 and neither crashes, and both serve
// again within seconds of its return.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "pg_test_server.h"
#include "support/http_test_client.h"
#include "support/tabrix_process.h"
#include "support/tabrix_server.h"

namespace tabrix::testing {
namespace {

class TwoServers {
 public:
  // Both servers on a new database of `server_keywords` holding Customers.
  explicit TwoServers(const std::string& server_keywords) : db_(server_keywords) {
    RunSql(db_.keywords(),
           "CREATE TABLE Customers (Id serial PRIMARY KEY, Name text);"
           "INSERT INTO Customers (Name) VALUES ('Ada')");
    std::ofstream(folder_.path() / "site.toml")
        << "[session_store]\nkind = \"database\"\n[session]\n"
        << "set_dns = \"" << db_.connection_string() << "\"\n"
        << "set_encryptkey = \"k3y\"\n"
        << "set_user1_username = \"ada\"\nset_user1_password = \"pw1\"\n"
        << "set_user1_CanTable = \"Customers[VAU]\"\n";
    for (auto* server : {&one_, &two_}) {
      server->emplace(std::vector<std::string>{"--config", "site.toml", "--listen", "127.0.0.1:0"},
                      folder_.path());
      EXPECT_TRUE((*server)->listening()) << (*server)->Stderr();
    }
  }

  TabrixServer& one() { return *one_; }
  TabrixServer& two() { return *two_; }

  static HttpReply Send(TabrixServer& server, const std::string& method,
                        const std::string& target, const std::string& cookie,
                        const std::string& body = {}) {
    return SessionRequest(server.port(), method, target, cookie, body);
  }

  static std::string CookieOf(const HttpReply& reply) { return SessionCookieOf(reply); }

  // Logs ada in on `server`; the id of the logged-in session.
  static std::string Login(TabrixServer& server) {
    HttpReply reply = Send(server, "POST", "/Login.asp", "", "username=ada&password=pw1");
    EXPECT_EQ(reply.status, 302) << reply.body;
    return CookieOf(reply);
  }

  static bool SentToLogin(const HttpReply& reply) {
    return reply.status == 302 &&
           reply.Header("location").value_or("").find("Login.asp") != std::string::npos;
  }

 private:
  PgTestDatabase db_;
  TestFolder folder_;
  std::optional<TabrixServer> one_, two_;
};

TEST(TwoServers, ALoginOnOneIsHonouredByTheOtherAndALogoutOnEitherEndsIt) {
  TABRIX_REQUIRE_PG();
  TwoServers site(*PgServer());
  std::string ada = TwoServers::Login(site.one());
  ASSERT_FALSE(ada.empty());
  EXPECT_FALSE(TwoServers::SentToLogin(TwoServers::Send(site.two(), "GET", "/", ada)));
  TwoServers::Send(site.two(), "GET", "/Login.asp?logout=1", ada);
  EXPECT_TRUE(TwoServers::SentToLogin(TwoServers::Send(site.one(), "GET", "/", ada)));

  // Ten failures, five on each, lock the name on both.
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(TwoServers::Send(i % 2 ? site.one() : site.two(), "POST", "/Login.asp", "",
                               "username=ada&password=wrong")
                  .status,
              200);
  for (TabrixServer* server : {&site.one(), &site.two()})
    EXPECT_EQ(TwoServers::Send(*server, "POST", "/Login.asp", "", "username=ada&password=pw1")
                  .status,
              429);
}

TEST(TwoServers, AnAddOnOneShowsOnTheOthersListPage) {
  TABRIX_REQUIRE_PG();
  TwoServers site(*PgServer());
  std::string ada = TwoServers::Login(site.one());
  std::string home = TwoServers::Send(site.one(), "GET", "/", ada).body;
  // A build without the PostgreSQL provider is a regression, not a skip.
  ASSERT_EQ(home.find("Error 3706"), std::string::npos) << "no PostgreSQL provider: " << home;
  size_t at = home.find("Search.asp?t=");
  ASSERT_NE(at, std::string::npos) << home;
  std::string code = home.substr(at + 13, home.find('&', at) - at - 13);
  HttpReply added =
      TwoServers::Send(site.one(), "POST", "/Add.asp", ada, "go=1&t=" + code + "&Name=Eve");
  EXPECT_LT(added.status, 400) << added.body;
  HttpReply list = TwoServers::Send(site.two(), "GET", "/Search.asp?t=" + code + "&go=1", ada);
  EXPECT_EQ(list.status, 200) << "the table code made on one is known to the session on two";
  EXPECT_NE(list.body.find("Eve"), std::string::npos) << list.body;
}

TEST(TwoServers, TheDatabaseStoppedUnderLoadGives503AndServiceComesBack) {
  TABRIX_REQUIRE_PG();
  PrivatePgServer database;
  ASSERT_TRUE(database.ok());
  TwoServers site(database.keywords());
  std::string ada = TwoServers::Login(site.one());
  ASSERT_FALSE(ada.empty());
  ASSERT_TRUE(database.Stop());
  int unavailable = 0;
  for (int i = 0; i < 20; ++i) {
    HttpReply reply = TwoServers::Send(i % 2 ? site.one() : site.two(), "GET", "/", ada);
    if (reply.status == 503) ++unavailable;
    EXPECT_TRUE(reply.status == 503) << reply.status << " " << reply.body;
  }
  EXPECT_EQ(unavailable, 20);
  ASSERT_TRUE(database.Start());
  auto back_at = std::chrono::steady_clock::now();
  for (TabrixServer* server : {&site.one(), &site.two()}) {
    bool served = false;
    for (int i = 0; i < 50 && !served; ++i) {  // at most about 10 s
      HttpReply reply = TwoServers::Send(*server, "GET", "/Login.asp", ada);
      served = reply.status == 200;
      if (!served) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_TRUE(served);
    EXPECT_FALSE(TwoServers::SentToLogin(TwoServers::Send(*server, "GET", "/", ada)))
        << "the session outlived the outage";
  }
  EXPECT_LT(std::chrono::steady_clock::now() - back_at, std::chrono::seconds(10));
  for (TabrixServer* server : {&site.one(), &site.two()}) EXPECT_EQ(server->Stop(), 0);
}

}  // namespace
}  // namespace tabrix::testing
