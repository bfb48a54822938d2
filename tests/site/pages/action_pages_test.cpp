// The bulk-action page as the site serves it: the confirmation on the first
// request, the action only on a confirmed same-origin POST, delete and set
// in one transaction (a failure midway leaves every row), and the export
// read back as CSV.
#include "site/pages/list_return.h"
#include "site_fixture.h"
#include "support/fault_seam.h"

namespace tabrix::site::testing {
namespace {

class ActionPages : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    ada_ = Login("ada", "pw1");
    bob_ = Login("bob", "pw2");
    code_ = OrdersCode(ada_);
    ASSERT_FALSE(code_.empty());
    Get("/", ada_);
    Get("/", bob_);
  }
  // The items of a pick of records 1 and 2 for action `a`.
  std::string Pick(int a) const {
    return "t=" + code_ + "&a=" + std::to_string(a) + "&c=3&id1=1%7CAda&id2=2%7Ccmd&id3=";
  }
  std::string ada_, bob_, code_;
};

TEST_F(ActionPages, OnlyAConfirmedSameOriginPostCarriesTheActionOut) {
  std::vector<std::string> before = Orders();
  HttpResponse confirm = Get("/Action.asp?" + Pick(1), ada_);
  EXPECT_EQ(confirm.status, 200);
  EXPECT_TRUE(Contains(confirm.body, "<form action=\"Action.asp\" method=\"post\">"));
  EXPECT_TRUE(Contains(confirm.body, "Are you sure to want \"<b>Delete</b>\" these records?"));
  EXPECT_EQ(Orders(), before);
  EXPECT_EQ(Get("/Action.asp?" + Pick(1) + "&onay=1", ada_).status, 200);
  EXPECT_EQ(Orders(), before);
  EXPECT_EQ(Post("/Action.asp", Pick(1) + "&onay=1", ada_, "http://evil.example").status, 403);
  EXPECT_EQ(Post("/Action.asp", Pick(1) + "&onay=1", ada_, "").status, 403);
  EXPECT_TRUE(Contains(Post("/Action.asp", Pick(1) + "&onay=1", bob_).body, "Access Denied!"));
  EXPECT_EQ(Orders(), before);

  HttpResponse done = Post("/Action.asp", Pick(1) + "&onay=1", ada_);
  EXPECT_EQ(done.status, 200);
  EXPECT_TRUE(Contains(done.body, "Record(s) has been delete successfully!")) << done.body;
  EXPECT_EQ(Orders(), (std::vector<std::string>{"3|Bo, \"B\"|7"}));
}

// After a change, the page links back to the list the records were picked
// on: the confirmation page's address holds the list's items.
TEST_F(ActionPages, ADoneActionLinksBackToItsList) {
  HttpRequest request = Request("POST", "/Action.asp", ada_);
  request.headers.emplace_back("content-type", "application/x-www-form-urlencoded");
  request.headers.emplace_back("origin", kOrigin);
  request.headers.emplace_back("referer", std::string(kOrigin) + "/Action.asp?go=1&t=" + code_ +
                                              "&o=Amount&o2=Asc&Customer=a&p=2&a=2&c=3&id1=1%7CAda&id2=2%7Ccmd&id3=");
  request.body = Pick(2) + "&onay=1";
  HttpResponse done = handler_->Handle(request);
  EXPECT_TRUE(Contains(done.body, "<p class=\"list-return\"><a href=\"Search.asp?go=1&amp;t=" + code_ +
                                      "&amp;o=Amount&amp;o2=Asc&amp;Customer=a&amp;p=2&amp;c=3\">"
                                      "Back to the list</a></p>"))
      << done.body;
  // The confirmation itself offers no way back but its own.
  EXPECT_FALSE(Contains(Get("/Action.asp?" + Pick(2), ada_).body, "list-return"));
}

TEST(ListReturnAddress, KeepsTheListItemsOfTheConfirmationPage) {
  struct Case {
    std::optional<std::string> referer;
    std::string expected;
  };
  const Case cases[] = {
      {std::nullopt, "Search.asp?t=T1&go=1"},
      {"http://h/Action.asp?t=T1&go=1&o=Name&o2=Asc&name=a+b%26c&c=10&p=3&a=2&idler=0&id1=4%7C4&id2=",
       "Search.asp?t=T1&go=1&o=Name&o2=Asc&name=a+b%26c&c=10&p=3"},
      // Another table's confirmation, another page, or no items: the whole list.
      {"http://h/Action.asp?t=T2&go=1&o=Name", "Search.asp?t=T1&go=1"},
      {"http://h/Info.asp?t=T1&id=4", "Search.asp?t=T1&go=1"},
      {"http://h/Action.asp", "Search.asp?t=T1&go=1"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ListReturnAddress(c.referer, "T1"), c.expected) << c.referer.value_or("(none)");
}

TEST_F(ActionPages, SetWritesTheConfiguredValuesOnEveryPickedRecord) {
  Post("/Action.asp", Pick(2) + "&onay=1", ada_);
  EXPECT_EQ(Orders(),
            (std::vector<std::string>{"1|closed|10", "2|closed|-5", "3|Bo, \"B\"|7"}));
}

TEST_F(ActionPages, ExportIsACsvDownloadSafeForSpreadsheets) {
  std::string pick = "t=" + code_ + "&a=3&c=3&id1=1%7CAda&id2=2%7Ccmd&id3=3%7CBo&onay=1";
  HttpResponse csv = Post("/Action.asp", pick, ada_);
  EXPECT_EQ(csv.status, 200);
  EXPECT_EQ(csv.Header("content-type").value_or(""), "text/csv; charset=utf-8");
  EXPECT_EQ(csv.Header("content-disposition").value_or(""),
            "attachment; filename=\"Orders.csv\"");
  EXPECT_EQ(csv.body,
            "\xEF\xBB\xBF"
            "Orderid,Customer,Amount\r\n"
            "1,Ada,10\r\n"
            "2,'=cmd,-5\r\n"
            "3,\"Bo, \"\"B\"\"\",7\r\n");
  // Nothing changed, and no message waits for the next page.
  EXPECT_EQ(Orders().size(), 3u);
  EXPECT_FALSE(Contains(Get("/", ada_).body, "class=\"msg\""));
}

// Cells no spreadsheet may split or run, whatever separator it splits on,
// beside numbers of numeric columns that must stay numbers. On SQLite a
// numeric column may hold text as well, which is text in the export too.
TEST_F(ActionPages, ExportedCellsStayWholeAndNumbersStayNumbers) {
  bool sqlite = tabrix::testing::TestEngine() == "sqlite";
  db_->Run(
      "ALTER TABLE Orders ADD COLUMN rate REAL;"
      "INSERT INTO Orders VALUES (4, 'x;=2+3', -12, -2.5);"
      "INSERT INTO Orders VALUES (5, 'say \"hi\"\r\nthen; go', 0, 0.25);"
      "INSERT INTO Orders VALUES (6, '-1', -1, NULL);"
      "INSERT INTO Orders VALUES (7, '@SUM(A1)', 3, 1234.5);");
  if (sqlite) db_->Run("INSERT INTO Orders VALUES (8, '+1', '=2+3', '-x');");
  // A new session reads the field list with its new column.
  std::string ada = Login("ada", "pw1");
  std::string code = OrdersCode(ada);
  ASSERT_FALSE(code.empty());
  std::string pick = "t=" + code + "&a=3&c=5&id1=4%7Cx&id2=5%7Cs&id3=6%7C-&id4=7%7C%40" +
                     (sqlite ? "&id5=8%7C%2B" : "&id5=") + "&onay=1";
  HttpResponse csv = Post("/Action.asp", pick, ada);
  ASSERT_EQ(csv.status, 200) << csv.body;
  std::string expected =
      "\xEF\xBB\xBF"
      "Orderid,Customer,Amount,Rate\r\n"
      "4,\"x;=2+3\",-12,-2.5\r\n"
      "5,\"say \"\"hi\"\"\r\nthen; go\",0,0.25\r\n"
      "6,'-1,-1,\r\n"
      "7,'@SUM(A1),3,1234.5\r\n";
  if (sqlite) expected += "8,'+1,'=2+3,'-x\r\n";
  EXPECT_EQ(csv.body, expected);
}

TEST_F(ActionPages, ABulkDeleteThatFailsMidwayLeavesEveryRow) {
  std::vector<std::string> before = Orders();
  std::string confirmed = Pick(1) + "&onay=1";
  tabrix::testing::FaultSeam seam;
  // Count the calls of the whole request, then fail each in turn.
  seam.plan().FailAt(0);
  // The counting run deletes the two rows; they are put back after it.
  ASSERT_EQ(Post("/Action.asp", confirmed, ada_).status, 200);
  std::int64_t calls = seam.plan().calls();
  ASSERT_GT(calls, 0);
  db_->Run("INSERT INTO Orders VALUES (1, 'Ada', 10); INSERT INTO Orders VALUES (2, '=cmd', -5);");
  ASSERT_EQ(Orders(), before);
  std::vector<std::string> after = {"3|Bo, \"B\"|7"};
  int refused = 0;
  for (std::int64_t n = 1; n <= calls; ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    seam.plan().FailAt(n);
    HttpResponse response = Post("/Action.asp", confirmed, ada_);
    bool failed = seam.plan().failed();
    seam.plan().FailAt(0);
    // Later runs make fewer calls (the field list is cached in the session).
    if (!failed) break;
    if (response.status == 200) {
      // A call the page may do without (its contract skips a failing
      // step): the action then happened whole.
      EXPECT_EQ(Orders(), after);
      db_->Run("INSERT INTO Orders VALUES (1, 'Ada', 10); "
               "INSERT INTO Orders VALUES (2, '=cmd', -5);");
      continue;
    }
    ++refused;
    EXPECT_EQ(response.status, 500);
    EXPECT_FALSE(Contains(response.body, "successfully")) << response.body;
    EXPECT_EQ(Orders(), before);
    // The next request is served normally.
    EXPECT_EQ(Get("/", ada_).status, 200);
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace tabrix::site::testing
