// The change history as the site keeps it: one row per record an add, an
// update or a bulk action writes, in the write's own transaction (a write
// that fails at any database call leaves neither the change nor its
// history), the history page for users holding "H", and old rows dropped
// after history_days.
#include <cctype>
#include <functional>
#include <sstream>

#include "site/history/history_log.h"
#include "site/outline/database_outline.h"
#include "site/site_startup.h"
#include "site_fixture.h"
#include "support/fault_seam.h"

namespace tabrix::site::testing {
namespace {

class HistoryPages : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    postgres_ = tabrix::testing::TestEngine() == "postgres";
    Start("");
  }

  // Serves the site with history on and `top` as further top-level keys.
  void Start(const std::string& top) {
    handler_.reset();
    std::string text = ConfigText(
        "set_user4_username = \"dee\"\nset_user4_password = \"pw4\"\n"
        "set_user4_name = \"Dee\"\nset_user4_CanTable = \"Orders[VH]\"\n"
        "set_user4_CantField = \"Orders.Amount[V]\"\n"
        "set_user5_username = \"eve\"\nset_user5_password = \"pw5\"\n"
        "set_user5_name = \"Eve\"\nset_user5_CantTable = \"Other[V]\"\n");
    text.replace(text.find("Orders[VAUDXE]"), 14, "Orders[VAUDXEH]");
    config_ = ParseConfig("history = true\n" + top + text, dir_ / "site.toml");
    std::ostringstream err;
    PrepareSite(config_, err);
    EXPECT_EQ(err.str(), "");
    handler_ = std::make_unique<SiteHandler>(config_);
    ada_ = Login("ada", "pw1");
    code_ = OrdersCode(ada_);
    ASSERT_FALSE(code_.empty());
  }

  std::string Table() const { return postgres_ ? "tabrix.history" : "tabrix_history"; }

  std::vector<history::Entry> Entries(const std::string& address) {
    auto connection = adodb::NewConnection();
    connection->Open(Variant(db_->connection_string()));
    auto entries = history::ReadEntries(*connection, postgres_, "Orders", address, 1000);
    connection->Close();
    return entries;
  }

  std::string Pick(int a) const {
    return "t=" + code_ + "&a=" + std::to_string(a) + "&c=3&id1=1%7CAda&id2=2%7Ccmd&id3=&onay=1";
  }

  bool postgres_ = false;
  std::string ada_, code_;
};

Json Row(std::int64_t id, const std::string& customer, std::int64_t amount) {
  return Json{{"OrderId", id}, {"Customer", customer}, {"Amount", amount}};
}

TEST_F(HistoryPages, EachWriteRecordsWhoDidWhatWithTheRowBeforeAndAfter) {
  ASSERT_TRUE(Post("/Add.asp", "go=1&t=" + code_ + "&Customer=Eve&Amount=3", ada_)
                  .body.starts_with("<script"));
  ASSERT_TRUE(Post("/Update.asp",
                   "go=1&t=" + code_ + "&id=1&Checked_Customer=Yes&Customer=Adele", ada_)
                  .body.starts_with("<script"));
  ASSERT_EQ(Post("/Action.asp", Pick(2), ada_).status, 200);  // Close: sets Customer
  ASSERT_EQ(Post("/Action.asp", Pick(1), ada_).status, 200);  // Delete
  ASSERT_EQ(Orders(), (std::vector<std::string>{"3|Bo, \"B\"|7", "4|Eve|3"}));

  struct Expected {
    std::string action;
    Json before, after;
  };
  auto check = [&](const std::string& address, const std::vector<Expected>& expected) {
    SCOPED_TRACE("record " + address);
    std::vector<history::Entry> entries = Entries(address);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(entries[i].user, "ada");
      EXPECT_EQ(entries[i].action, expected[i].action);
      EXPECT_EQ(entries[i].before, expected[i].before) << entries[i].before.dump();
      EXPECT_EQ(entries[i].after, expected[i].after) << entries[i].after.dump();
      EXPECT_EQ(entries[i].at.size(), 19u) << entries[i].at;
    }
  };
  // Newest first.
  check("4", {{"add", nullptr, Row(4, "Eve", 3)}});
  check("1", {{"Delete", Row(1, "closed", 10), nullptr},
              {"Close", Row(1, "Adele", 10), Row(1, "closed", 10)},
              {"update", Row(1, "Ada", 10), Row(1, "Adele", 10)}});
  check("2", {{"Delete", Row(2, "closed", -5), nullptr},
              {"Close", Row(2, "=cmd", -5), Row(2, "closed", -5)}});
  check("3", {});
}

// Whatever database call of the request fails, the change and its history
// go together: a record has history exactly when the write changed it.
TEST_F(HistoryPages, AWriteThatFailsAnywhereLeavesNoHistory) {
  struct Case {
    std::string name, page, items;
    std::vector<std::string> addresses;
  };
  std::vector<Case> cases = {
      {"add", "/Add.asp", "go=1&t=" + code_ + "&Customer=Eve&Amount=3", {"4"}},
      {"update", "/Update.asp", "go=1&t=" + code_ + "&id=1&Checked_Customer=Yes&Customer=X",
       {"1"}},
      {"bulk set", "/Action.asp", Pick(2), {"1", "2"}},
      {"bulk delete", "/Action.asp", Pick(1), {"1", "2"}},
  };
  std::vector<std::string> original = Orders();
  auto reset = [&] {
    db_->Run("DELETE FROM " + Table() + "; DELETE FROM Orders; "
             "INSERT INTO Orders VALUES (1, 'Ada', 10); INSERT INTO Orders VALUES (2, '=cmd', -5); "
             "INSERT INTO Orders VALUES (3, 'Bo, \"B\"', 7);");
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tabrix::testing::FaultSeam seam;
    seam.plan().FailAt(0);
    Post(c.page, c.items, ada_);
    std::int64_t calls = seam.plan().calls();
    ASSERT_GT(calls, 0);
    for (const std::string& address : c.addresses) EXPECT_FALSE(Entries(address).empty());
    int failures = 0;
    for (std::int64_t n = 1; n <= calls; ++n) {
      reset();
      SCOPED_TRACE("failing call " + std::to_string(n));
      seam.plan().FailAt(n);
      Post(c.page, c.items, ada_);
      bool failed = seam.plan().failed();
      seam.plan().FailAt(0);
      if (!failed) break;
      ++failures;
      bool changed = Orders() != original;
      for (const std::string& address : c.addresses)
        EXPECT_EQ(Entries(address).empty(), !changed) << address;
    }
    EXPECT_GT(failures, 0);
    reset();
  }
}

TEST_F(HistoryPages, ThePageShowsTheChangesToHoldersOfHWithoutHiddenFields) {
  Post("/Update.asp", "go=1&t=" + code_ + "&id=1&Checked_Customer=Yes&Customer=Adele&Checked_Amount=Yes&Amount=11",
       ada_);
  std::string target = "/History.asp?t=" + code_ + "&id=1";

  HttpResponse page = Get(target, ada_);
  ASSERT_EQ(page.status, 200) << page.body;
  EXPECT_TRUE(Contains(page.body, "<td>ada</td><td>update</td>")) << page.body;
  EXPECT_TRUE(Contains(page.body, "<b>Customer</b>: <del>Ada</del> &rarr; <ins>Adele</ins>"));
  EXPECT_TRUE(Contains(page.body, "<b>Amount</b>: <del>10</del> &rarr; <ins>11</ins>"));
  EXPECT_FALSE(Contains(page.body, "<b>OrderId</b>"));  // unchanged

  // Dee may see the history but not the amount.
  std::string dee = Login("dee", "pw4");
  Get("/", dee);
  HttpResponse hidden = Get(target, dee);
  ASSERT_EQ(hidden.status, 200);
  EXPECT_TRUE(Contains(hidden.body, "<ins>Adele</ins>"));
  EXPECT_FALSE(Contains(hidden.body, "Amount"));
  EXPECT_FALSE(Contains(hidden.body, "<ins>11</ins>"));

  // Bob lacks H: refused, and his record page has no link.
  std::string bob = Login("bob", "pw2");
  Get("/", bob);
  HttpResponse refused = Get(target, bob);
  EXPECT_EQ(refused.status, 403);
  EXPECT_TRUE(Contains(refused.body, "You may not see the history")) << refused.body;
  EXPECT_FALSE(Contains(Get("/Info.asp?t=" + code_ + "&id=1", bob).body, "History.asp"));
  HttpResponse record = Get("/Info.asp?t=" + code_ + "&id=1", ada_);
  EXPECT_TRUE(Contains(record.body, "<a href=\"History.asp?t=" + code_ + "&amp;id=1\">History</a>"))
      << record.body;
}

TEST_F(HistoryPages, RowsOlderThanHistoryDaysAreDroppedAtStartUp) {
  Post("/Update.asp", "go=1&t=" + code_ + "&id=1&Checked_Customer=Yes&Customer=Adele", ada_);
  db_->Run("INSERT INTO " + Table() +
           " (at, user_name, table_name, action, row_key) VALUES "
           "('2001-02-03 04:05:06', 'old', 'Orders', 'update', '1')");
  ASSERT_EQ(Entries("1").size(), 2u);
  Start("history_days = 30\n");
  std::vector<history::Entry> kept = Entries("1");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].user, "ada");
}

// Eve may view every table but one, so the menu would list it.
TEST_F(HistoryPages, TheHistoryTableIsInNoMenuNorInTheDatabasesOutline) {
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  std::string eve = Login("eve", "pw5");
  std::string home = lower(Get("/", eve).body);
  EXPECT_TRUE(Contains(home, "orders")) << home;
  EXPECT_FALSE(Contains(home, "history")) << home;
  // The outline feeds `tabrix init` drafts and the referring rows.
  auto connection = adodb::NewConnection();
  connection->Open(Variant(db_->connection_string()));
  ASSERT_TRUE(history::Exists(*connection, postgres_));
  DatabaseOutline outline = ReadOutline(*connection);
  connection->Close();
  EXPECT_NE(outline.Find("Orders"), nullptr);
  EXPECT_EQ(outline.Find(history::kSqliteTable), nullptr);
  EXPECT_EQ(outline.Find("history"), nullptr);
  // Still hidden once history is turned off: the table stays. The page
  // is then no page.
  handler_.reset();
  // Users are numbered without gaps: Eve is the fourth here.
  config_ = ParseConfig(ConfigText("set_user4_username = \"eve\"\nset_user4_password = \"pw5\"\n"
                                   "set_user4_name = \"Eve\"\nset_user4_CantTable = \"Other[V]\"\n"),
                        dir_ / "site.toml");
  std::ostringstream err;
  PrepareSite(config_, err);
  handler_ = std::make_unique<SiteHandler>(config_);
  eve = Login("eve", "pw5");
  home = lower(Get("/", eve).body);
  EXPECT_TRUE(Contains(home, "orders"));
  EXPECT_FALSE(Contains(home, "history")) << home;
  EXPECT_EQ(Get("/History.asp?t=" + OrdersCode(eve) + "&id=1", eve).status, 404);
}

TEST_F(HistoryPages, ASiteThatOpensItsDatabaseReadOnlyKeepsNone) {
  tabrix::testing::TestDatabase fresh(kSchema);
  std::string text = ConfigText();
  text.replace(text.find(db_->connection_string()), db_->connection_string().size(),
               fresh.connection_string() + ";Mode=Read");
  SiteConfig config = ParseConfig("history = true\n" + text, dir_ / "site.toml");
  std::ostringstream err;
  PrepareSite(config, err);
  EXPECT_FALSE(config.history);
  EXPECT_TRUE(Contains(err.str(), "history = true is ignored")) << err.str();
  auto connection = adodb::NewConnection();
  connection->Open(Variant(fresh.connection_string()));
  EXPECT_FALSE(history::Exists(*connection, postgres_));
  connection->Close();
}

}  // namespace
}  // namespace tabrix::site::testing
