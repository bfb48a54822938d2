// `tabrix demo` as a person meets it: the real program makes a small demo
// in a test folder and serves it; each of its three users logs in over
// HTTP and finds what they may do. Reusing a folder keeps what was added
// and gives new passwords; bad words and broken folders get clear errors.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "support/site_client.h"
#include "support/tabrix_process.h"
#include "support/tabrix_server.h"

namespace tabrix::testing {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// `tabrix demo --serve` on a free port, with what it printed first.
class ServedDemo {
 public:
  explicit ServedDemo(const fs::path& dir)
      : server_({"--dir", dir.string(), "--serve", "--listen", "127.0.0.1:0"}, {},
                TabrixServerLaunch{"demo", true}) {
    static const std::regex kLogins(
        "Tabrix demo: http://127\\.0\\.0\\.1:([0-9]+)/\n"
        "login admin ([a-z0-9]{12})  \\(may do everything\\)\n"
        "login viewer ([a-z0-9]{12})  \\(may only view\\)\n"
        "login clerk ([a-z0-9]{12})  \\(some tables; some fields hidden\\)\n");
    std::smatch match;
    std::string printed = server_.Stderr();
    if (!server_.listening() || !std::regex_search(printed, match, kLogins)) {
      ADD_FAILURE() << "the demo did not print its address and logins:\n" << printed;
      return;
    }
    EXPECT_EQ(std::stoi(match[1].str()), server_.port());
    admin = match[2].str();
    viewer = match[3].str();
    clerk = match[4].str();
  }

  std::uint16_t port() const { return server_.port(); }
  int Stop() { return server_.Stop(); }

  std::string admin, viewer, clerk;

 private:
  TabrixServer server_;
};

class DemoCommand : public ::testing::Test {
 protected:
  // Makes the demo in dir() with `rows` orders; asserts it worked.
  void MakeDemo(int rows) {
    ProcessRun run = RunTabrix(folder_.path(), {"demo", "--dir", "d", "--rows", std::to_string(rows)});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "tabrix demo --dir d --serve")) << run.out;
  }
  fs::path dir() const { return folder_.path() / "d"; }

  TestFolder folder_;
};

TEST_F(DemoCommand, EachUserMayDoWhatTheDemoPromises) {
  MakeDemo(60);
  ServedDemo demo(dir());
  ASSERT_FALSE(demo.admin.empty());

  struct Case {
    const char* user;
    std::string password;
    std::vector<const char*> menu, not_in_menu;
  };
  const Case cases[] = {
      {"admin", demo.admin,
       {"Customers", "Products", "Employees", "Orders", "Order lines", "Order totals"}, {}},
      {"viewer", demo.viewer,
       {"Customers", "Products", "Employees", "Orders", "Order lines", "Order totals"}, {}},
      {"clerk", demo.clerk, {"Customers", "Products", "Orders", "Order lines"},
       {"Employees", "Order totals"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user);
    SiteClient site(demo.port());
    ASSERT_TRUE(site.Login(c.user, c.password));
    for (const char* caption : c.menu) EXPECT_NE(site.TableCode(caption), "") << caption;
    for (const char* caption : c.not_in_menu) EXPECT_EQ(site.TableCode(caption), "") << caption;
  }

  SiteClient admin(demo.port());
  ASSERT_TRUE(admin.Login("admin", demo.admin));
  std::string orders = admin.TableCode("Orders");
  std::string list = admin.Get("/Search.asp?t=" + orders + "&go=1&hf=1").body;
  for (const char* offered : {">Delete</option>", ">Mark shipped</option>", ">Export</option>",
                              "Add.asp?t=", "Freight <A"})
    EXPECT_TRUE(Has(list, offered)) << offered;
  // A relation shows the customer's name with a link to the customer.
  std::string record = admin.Get("/Info.asp?t=" + orders + "&id=1").body;
  EXPECT_TRUE(Has(record, "<img src='images/link.gif'")) << record;
  EXPECT_TRUE(Has(record, "Update.asp?t=")) << record;

  SiteClient viewer(demo.port());
  ASSERT_TRUE(viewer.Login("viewer", demo.viewer));
  orders = viewer.TableCode("Orders");
  list = viewer.Get("/Search.asp?t=" + orders + "&go=1&hf=1").body;
  EXPECT_TRUE(Has(list, "name=\"a\">        </select>")) << list;  // no action offered
  EXPECT_FALSE(Has(list, "Add.asp?t="));
  EXPECT_FALSE(Has(viewer.Get("/Info.asp?t=" + orders + "&id=1").body, "Update.asp"));
  EXPECT_TRUE(Has(viewer.Get("/Add.asp?t=" + orders).body, "Access denied!"));

  SiteClient clerk(demo.port());
  ASSERT_TRUE(clerk.Login("clerk", demo.clerk));
  std::string customers = clerk.TableCode("Customers");
  list = clerk.Get("/Search.asp?t=" + customers + "&go=1").body;
  EXPECT_TRUE(Has(list, "Name <A")) << list;
  for (const char* hidden : {"Email", "Phone", "Credit limit"}) {
    EXPECT_FALSE(Has(list, std::string(hidden) + " <A")) << hidden;
    EXPECT_FALSE(Has(list, std::string("&nbsp;") + hidden + ":")) << hidden;  // search panel
  }
  std::string form = clerk.Get("/Update.asp?t=" + customers + "&id=1").body;
  EXPECT_TRUE(Has(form, "Checked_name")) << form;
  EXPECT_FALSE(Has(form, "Checked_email")) << form;
  orders = clerk.TableCode("Orders");
  list = clerk.Get("/Search.asp?t=" + orders + "&go=1&hf=1").body;
  EXPECT_TRUE(Has(list, ">Mark shipped</option>"));
  EXPECT_FALSE(Has(list, ">Delete</option>"));
  EXPECT_FALSE(Has(list, "Freight <A"));
}

TEST_F(DemoCommand, AReusedFolderKeepsWhatWasAddedAndGetsNewPasswords) {
  MakeDemo(40);
  std::string first_admin;
  {
    ServedDemo demo(dir());
    ASSERT_FALSE(demo.admin.empty());
    first_admin = demo.admin;
    SiteClient admin(demo.port());
    ASSERT_TRUE(admin.Login("admin", demo.admin));
    std::string customers = admin.TableCode("Customers");
    HttpReply added =
        admin.Post("/Add.asp", "go=1&t=" + customers +
                                       "&name=Zed+Example&city=Oslo&joined_d=1&joined_m=5&joined_y=2024");
    EXPECT_EQ(added.status, 200) << added.body;
    EXPECT_EQ(demo.Stop(), 0);
  }
  ProcessRun again = RunTabrix(folder_.path(), {"demo", "--dir", "d", "--rows", "40"});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_TRUE(Has(again.out, "Using the demo in d")) << again.out;

  ServedDemo demo(dir());
  ASSERT_FALSE(demo.admin.empty());
  EXPECT_NE(demo.admin, first_admin);
  SiteClient stale(demo.port());
  EXPECT_FALSE(stale.Login("admin", first_admin));
  SiteClient admin(demo.port());
  ASSERT_TRUE(admin.Login("admin", demo.admin));
  std::string customers = admin.TableCode("Customers");
  EXPECT_TRUE(Has(admin.Get("/Search.asp?t=" + customers + "&go=1&hf=1&name=Zed").body,
                  "Zed Example"));
}

TEST_F(DemoCommand, AnotherRowCountOnAnExistingDemoIsRefusedWithTheWayOut) {
  MakeDemo(30);
  auto modified = fs::last_write_time(dir() / "demo.db");
  ProcessRun run = RunTabrix(folder_.path(), {"demo", "--dir", "d", "--rows", "50"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_TRUE(Has(run.err, "has 30 orders")) << run.err;
  EXPECT_TRUE(Has(run.err, "delete the folder d")) << run.err;
  EXPECT_EQ(fs::last_write_time(dir() / "demo.db"), modified);
}

TEST_F(DemoCommand, BadWordsAreRefusedBeforeAnythingIsWritten) {
  struct Case {
    std::vector<std::string> words;
    const char* message;
  };
  const Case cases[] = {
      {{"--rows", "0"}, "--rows must be a whole number from 1 to 2000000, not \"0\""},
      {{"--rows", "2000001"}, "not \"2000001\""},
      {{"--rows", "12abc"}, "not \"12abc\""},
      {{"--rows", "-5"}, "not \"-5\""},
      {{"--rows"}, "--rows needs a value"},
      {{"--rows", "5", "--rows", "6"}, "--rows is given twice"},
      {{"--dir", ""}, "--dir needs a folder"},
      {{"--serve", "--listen", "nowhere"}, "is not HOST:PORT"},
      {{"--listen", "127.0.0.1:0"}, "--listen applies only with --serve"},
      {{"--colour"}, "unknown argument --colour"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> words = {"demo", "--dir", "d"};
    if (!c.words.empty() && c.words[0] == "--dir") words = {"demo"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    ProcessRun run = RunTabrix(folder_.path(), words);
    EXPECT_EQ(run.exit_code, 2) << c.message;
    EXPECT_TRUE(Has(run.err, c.message)) << run.err;
    EXPECT_FALSE(fs::exists(dir())) << c.message;
  }
}

TEST_F(DemoCommand, AFolderThatHoldsNoWholeDemoIsReportedNotOverwritten) {
  struct Case {
    const char* name;
    bool site_toml;
    const char* message;
  };
  const Case cases[] = {
      {"a database without its site", false, "site.toml is not"},
      {"a database this command did not make", true, "is not a database this command made"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir());
    fs::create_directories(dir());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir() / "demo.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE mine (x)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    if (c.site_toml) std::ofstream(dir() / "site.toml") << "# mine\n";
    ProcessRun run = RunTabrix(folder_.path(), {"demo", "--dir", "d"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_TRUE(Has(run.err, c.message)) << run.err;
    EXPECT_TRUE(Has(run.err, "delete the folder d")) << run.err;
    if (c.site_toml) {
      std::ifstream toml(dir() / "site.toml");
      std::string kept((std::istreambuf_iterator<char>(toml)), std::istreambuf_iterator<char>());
      EXPECT_EQ(kept, "# mine\n");
    }
  }
}

}  // namespace
}  // namespace tabrix::testing
