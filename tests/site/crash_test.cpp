// A server killed (SIGKILL) in the middle of a stream of adds, then started
// again on the same database: every add it acknowledged is there, once, no
// row is partial, and the database passes its own integrity check.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/adodb/recordset.h"
#include "host/variant_ops.h"
#include "support/http_test_client.h"
#include "support/tabrix_process.h"
#include "support/tabrix_server.h"
#include "support/test_database.h"

namespace tabrix::testing {
namespace {

constexpr int kAcknowledgedBeforeKill = 40;
constexpr int kMostAdds = 5000;

std::string Schema() {
  std::string key = TestEngine() == "postgres" ? "Id serial PRIMARY KEY" : "Id INTEGER PRIMARY KEY";
  return "CREATE TABLE Notes (" + key + ", Body TEXT NOT NULL, Copy TEXT NOT NULL);";
}

class CrashedServer {
 public:
  CrashedServer() : db_(Schema()) {
    std::ofstream(folder_.path() / "site.toml")
        << "[session]\nset_dns = \"" << db_.connection_string() << "\"\n"
        << "set_encryptkey = \"k3y\"\n"
        << "set_user1_username = \"ada\"\nset_user1_password = \"pw1\"\n"
        << "set_user1_CanTable = \"Notes[VA]\"\n";
  }

  void Start() {
    server_.emplace(std::vector<std::string>{"--config", "site.toml", "--listen", "127.0.0.1:0"},
                    folder_.path());
    ASSERT_TRUE(server_->listening()) << server_->Stderr();
    HttpReply login = SessionRequest(server_->port(), "POST", "/Login.asp", "",
                                     "username=ada&password=pw1");
    ASSERT_EQ(login.status, 302) << login.body;
    cookie_ = SessionCookieOf(login);
    std::string home = SessionRequest(server_->port(), "GET", "/", cookie_).body;
    size_t at = home.find("Search.asp?t=");
    ASSERT_NE(at, std::string::npos) << home;
    code_ = home.substr(at + 13, home.find('&', at) - at - 13);
  }

  // Adds notes one after another until the server stops answering; the
  // bodies of those it acknowledged (its answer leads to the new record).
  std::vector<std::string> AddUntilGone(std::atomic<int>& acknowledged) {
    std::vector<std::string> added;
    for (int i = 0; i < kMostAdds; ++i) {
      std::string body = "note-" + std::to_string(i) + "-" + std::string(200, 'x');
      std::optional<HttpReply> reply = ExchangeIfServed(
          server_->port(), SessionRequestText("POST", "/Add.asp", cookie_,
                                              "go=1&t=" + code_ + "&Body=" + body + "&Copy=" + body));
      if (!reply) break;
      if (reply->status == 200 && reply->body.find("window.location.href='Info.asp?t=") !=
                                      std::string::npos) {
        added.push_back(body);
        ++acknowledged;
      }
    }
    return added;
  }

  TabrixServer& server() { return *server_; }
  const TestDatabase& db() const { return db_; }
  std::uint16_t port() const { return server_->port(); }
  const std::string& cookie() const { return cookie_; }
  const std::string& code() const { return code_; }

 private:
  TestFolder folder_;
  TestDatabase db_;
  std::optional<TabrixServer> server_;
  std::string cookie_, code_;
};

// The notes as stored: body -> how many rows hold it; a row whose copy
// differs from its body counts under "partial: <id>".
std::map<std::string, int> StoredNotes(const TestDatabase& db) {
  auto rs = adodb::NewRecordset();
  rs->Open(Variant("select Id, Body, Copy from Notes"), Variant(db.connection_string()),
           Variant(3), Variant(1));
  std::map<std::string, int> notes;
  for (int guard = 0; !rs->Eof() && guard < 2 * kMostAdds; ++guard, rs->MoveNext()) {
    std::string body = ConcatText(rs->Value(Variant(1)));
    if (body != ConcatText(rs->Value(Variant(2))) || body.empty())
      body = "partial: " + ConcatText(rs->Value(Variant(0)));
    ++notes[body];
  }
  rs->Close();
  return notes;
}

// The engine's own check of the database's pages and indexes.
void ExpectIntegrity(const TestDatabase& db) {
  if (TestEngine() == "postgres") {
    // bt_index_check raises on a damaged index, and Run throws with it.
    EXPECT_NO_THROW(db.Run(
        "CREATE EXTENSION IF NOT EXISTS amcheck;"
        "SELECT bt_index_check(c.oid, true) FROM pg_index i JOIN pg_class c ON c.oid = "
        "i.indexrelid WHERE c.relnamespace = 'public'::regnamespace;"));
    return;
  }
  const std::string& dns = db.connection_string();
  std::string path = dns.substr(dns.find("Data Source=") + 12);
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* check = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(handle, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
  std::string result;
  while (sqlite3_step(check) == SQLITE_ROW)
    result += reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
  sqlite3_finalize(check);
  sqlite3_close(handle);
  EXPECT_EQ(result, "ok");
}

TEST(CrashRecovery, EveryAcknowledgedAddSurvivesAKillInTheMiddleOfAStreamOfAdds) {
  CrashedServer site;
  ASSERT_NO_FATAL_FAILURE(site.Start());

  std::atomic<int> acknowledged{0};
  std::vector<std::string> added;
  std::thread writer([&] { added = site.AddUntilGone(acknowledged); });
  // The kill falls between or inside adds, wherever the stream is then.
  for (int i = 0; i < 3000 && acknowledged < kAcknowledgedBeforeKill; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  site.server().Stop(SIGKILL);
  writer.join();
  ASSERT_GE(added.size(), static_cast<size_t>(kAcknowledgedBeforeKill));
  ASSERT_LT(added.size(), static_cast<size_t>(kMostAdds)) << "the stream outlived the kill";

  ASSERT_NO_FATAL_FAILURE(site.Start());
  std::map<std::string, int> stored = StoredNotes(site.db());
  for (const std::string& body : added) EXPECT_EQ(stored[body], 1) << body.substr(0, 12);
  for (const auto& [body, count] : stored) {
    EXPECT_EQ(body.rfind("partial", 0), std::string::npos) << body;
    EXPECT_EQ(count, 1) << body.substr(0, 12);
  }
  // At most the add in flight at the kill went in unacknowledged.
  EXPECT_LE(stored.size(), added.size() + 1);
  ExpectIntegrity(site.db());

  // The restarted server serves the table and takes new adds.
  HttpReply list = SessionRequest(site.port(), "GET", "/Search.asp?go=1&t=" + site.code(),
                                  site.cookie());
  EXPECT_EQ(list.status, 200);
  std::string body = "after-the-crash";
  HttpReply add = SessionRequest(site.port(), "POST", "/Add.asp", site.cookie(),
                                 "go=1&t=" + site.code() + "&Body=" + body + "&Copy=" + body);
  EXPECT_NE(add.body.find("window.location.href='Info.asp?t="), std::string::npos) << add.body;
  EXPECT_EQ(StoredNotes(site.db())[body], 1);
}

}  // namespace
}  // namespace tabrix::testing
