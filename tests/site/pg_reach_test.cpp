// The site reaches PostgreSQL one way: the session store opens the database
// its connection string names, with the site's timeouts and the same
// session settings as the pages' connections; a connection string that
// asks for TLS gets it or the site does not start; and a database server restarted
// between two requests costs the second one nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/adodb/connection.h"
#include "pg_test_server.h"
#include "support/http_test_client.h"
#include "support/tabrix_process.h"
#include "support/tabrix_server.h"

namespace tabrix::testing {
namespace {

bool Has(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

TEST(PgReach, TheSessionStoreOpensTheNamedDatabaseWithTheSitesTimeouts) {
  TABRIX_REQUIRE_PG();
  PgTestDatabase db;
  std::string server = *PgServer();
  // "dbname", not "Database": every spelling of a key reaches the same place.
  std::string dns = "Provider=PostgreSQL;host=" + KeywordValue(server, "host") +
                    ";Port=" + KeywordValue(server, "port") +
                    ";dbname=" + KeywordValue(db.keywords(), "dbname") +
                    ";User ID=" + KeywordValue(server, "user");
  std::chrono::milliseconds before = adodb::StatementTimeout();
  adodb::SetStatementTimeout(std::chrono::milliseconds(3500));
  site::PgOptions options;
  options.wait = std::chrono::milliseconds(1500);
  site::PgConnections connections(adodb::postgres::PgParamsFor(dns), options);
  {
    site::PgConnections::Lent lent = connections.Borrow();
    site::PgResult row = lent.Exec(
        "select current_database(), current_setting('statement_timeout'), "
        "current_setting('lock_timeout'), current_setting('jit'), "
        "current_setting('DateStyle')");
    EXPECT_EQ(row.Get(0, 0), KeywordValue(db.keywords(), "dbname"));
    EXPECT_EQ(row.Get(0, 1), "3500ms");
    EXPECT_EQ(row.Get(0, 2), "1500ms");
    EXPECT_EQ(row.Get(0, 3), "off");
    EXPECT_EQ(row.Get(0, 4), "ISO, YMD");
  }
  adodb::SetStatementTimeout(before);
}

// A site whose pages read Customers (one row, "Ada") on `dns`, served by
// the real program with sessions in memory.
class CustomersSite {
 public:
  CustomersSite(const std::string &keywords, const std::string &dns) {
    RunSql(keywords,
           "CREATE TABLE IF NOT EXISTS Customers (Id serial PRIMARY "
           "KEY, Name text);"
           "INSERT INTO Customers (Name) SELECT 'Ada' WHERE NOT "
           "EXISTS (SELECT 1 FROM Customers)");
    std::ofstream(folder_.path() / "site.toml")
        << "[session]\nset_dns = '" << dns << "'\nset_encryptkey = \"k3y\"\n"
        << "set_user1_username = \"ada\"\nset_user1_password = \"pw1\"\n"
        << "set_user1_CanTable = \"Customers[V]\"\n";
    server_.emplace(std::vector<std::string>{"--config", "site.toml", "--listen", "127.0.0.1:0"},
                    folder_.path());
    EXPECT_TRUE(server_->listening()) << server_->Stderr();
    HttpReply login =
        SessionRequest(server_->port(), "POST", "/Login.asp", "", "username=ada&password=pw1");
    EXPECT_EQ(login.status, 302) << login.body;
    cookie_ = SessionCookieOf(login);
  }

  // What the server wrote on stderr so far.
  std::string Log() const { return server_->Stderr(); }

  HttpReply Get(const std::string &target) {
    return SessionRequest(server_->port(), "GET", target, cookie_);
  }
  // The list of Customers, through the table code the menu links to.
  HttpReply CustomersList() {
    HttpReply home = Get("/");
    size_t at = home.body.find("Search.asp?t=");
    if (at == std::string::npos) return home;
    std::string code = home.body.substr(at + 13, home.body.find('&', at) - at - 13);
    return Get("/Search.asp?t=" + code + "&go=1");
  }

 private:
  TestFolder folder_;
  std::optional<TabrixServer> server_;
  std::string cookie_;
};

TEST(PgReach, TheSslModeAskedForIsDemandedOrTheSiteDoesNotStart) {
  TABRIX_REQUIRE_PG();
  PrivatePgServer database(PrivatePgServer::Listen::kAlsoLoopbackTcp);
  ASSERT_TRUE(database.ok());
  std::string tcp = "Provider=PostgreSQL;Host=127.0.0.1;Port=" + std::to_string(database.port()) +
                    ";Database=postgres;User ID=postgres;SSL Mode=";
  {
    SCOPED_TRACE("disable: the same server, in the clear as asked");
    CustomersSite site(database.keywords(), tcp + "disable");
    HttpReply list = site.CustomersList();
    EXPECT_EQ(list.status, 200);
    EXPECT_TRUE(Has(list.body, "Ada")) << list.body;
  }
  for (const char *mode : {"require", "verify-full"}) {
    SCOPED_TRACE(mode);
    // A server that cannot give what the site asks for stops the start, and
    // the log says why.
    TestFolder folder;
    std::ofstream(folder.path() / "site.toml")
        << "[session]\nset_dns = '" << tcp + mode << "'\nset_encryptkey = \"k3y\"\n";
    ProcessRun run =
        RunTabrix(folder.path(), {"serve", "--config", "site.toml", "--listen", "127.0.0.1:0"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_TRUE(Has(run.err, "server does not support SSL, but SSL was required")) << run.err;
    EXPECT_FALSE(Has(run.err, "listening on")) << run.err;
  }
}

TEST(PgReach, ADatabaseRestartedBetweenTwoRequestsCostsTheSecondNoError) {
  TABRIX_REQUIRE_PG();
  PrivatePgServer database;
  ASSERT_TRUE(database.ok());
  CustomersSite site(database.keywords(), database.connection_string());
  HttpReply first = site.CustomersList();
  ASSERT_EQ(first.status, 200);
  ASSERT_TRUE(Has(first.body, "Ada")) << first.body;
  ASSERT_TRUE(database.Stop());
  ASSERT_TRUE(database.Start());
  HttpReply second = site.CustomersList();
  EXPECT_EQ(second.status, 200) << second.body;
  EXPECT_TRUE(Has(second.body, "Ada")) << second.body;
}

}  // namespace
}  // namespace tabrix::testing
