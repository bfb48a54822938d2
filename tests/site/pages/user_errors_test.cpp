// What the user can mend is answered as theirs, never as a fault of the
// server, and nothing is written: a request value the page cannot take
// (400), a value a field's type cannot take (400, naming the field), what
// the user may not do (403), and a write the database refuses (409, in
// words, without the engine's text).
#include "site_fixture.h"

namespace tabrix::site::testing {
namespace {

class UserErrors : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    // Ada may not change the customer's name; the "Close" action sets it.
    config_ = ParseConfig(ConfigText("set_user1_CantField = \"Orders.Customer[U]\"\n"),
                          dir_ / "site.toml");
    handler_ = std::make_unique<SiteHandler>(config_);
    ada_ = Login("ada", "pw1");
    code_ = OrdersCode(ada_);
    ASSERT_FALSE(code_.empty());
    Get("/", ada_);
  }
  std::string ada_, code_;
};

TEST_F(UserErrors, RequestValuesThePageCannotTakeAnswer400) {
  const std::string list = "/Search.asp?go=1&t=";
  struct Case {
    std::string target;
    const char* says;
  } cases[] = {
      {list + code_ + "&p=abc", "page number"},
      {list + code_ + "&c=x", "records per page"},
      {list + code_ + "&c=0", "records per page"},
      {list + code_ + "&Customer=" + std::string(1001, 'x'), "is longer than 1000 bytes"},
      {"/Action.asp?t=" + code_ + "&a=9&c=1&id1=1%7CAda", "is not defined"},
      {"/Action.asp?t=" + code_ + "&a=1&c=1&id1=", "no record was picked"},
      {"/Info.asp?t=" + code_ + "&id=%7E1%7E2", "record address is not valid"},
  };
  for (const Case& c : cases) {
    HttpResponse response = Get(c.target, ada_);
    EXPECT_EQ(response.status, 400) << c.target << "\n" << response.body;
    EXPECT_TRUE(Contains(response.body, c.says)) << c.target << "\n" << response.body;
    EXPECT_TRUE(Contains(response.body, "<nav class=\"site-menu\">")) << c.target;
  }
}

TEST_F(UserErrors, AValueTheFieldCannotTakeIsRefusedAndNothingIsStored) {
  const std::vector<std::string> before = Orders();
  struct Case {
    const char* amount;
    int status;
  } cases[] = {{"3x", 400}, {"1,5", 400}, {"12abc", 400}, {"", 302}, {"1,234", 302}};
  for (const Case& c : cases) {
    HttpResponse update =
        Post("/Update.asp", "t=" + code_ + "&id=1&go=1&Checked_Amount=Yes&Amount=" +
                                std::string(c.amount), ada_);
    if (c.status == 302) {
      // The script that leads back to the record: the value was taken.
      EXPECT_EQ(update.status, 200) << c.amount;
      EXPECT_TRUE(Contains(update.body, "window.location.href")) << c.amount;
      continue;
    }
    EXPECT_EQ(update.status, c.status) << c.amount << "\n" << update.body;
    EXPECT_TRUE(Contains(update.body, "the field &#39;Amount&#39; was given")) << update.body;
    EXPECT_FALSE(Contains(Get("/", ada_).body, "successfully")) << c.amount;
    HttpResponse add =
        Post("/Add.asp", "t=" + code_ + "&go=1&Customer=New&Amount=" + std::string(c.amount), ada_);
    EXPECT_EQ(add.status, c.status) << c.amount;
  }
  std::vector<std::string> after = Orders();
  // No add went through; "1,234" was the last update taken, as a thousand
  // and more.
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after[0], "1|Ada|1234");
}

TEST_F(UserErrors, ASetActionOnAFieldTheUserMayNotChangeChangesNothing) {
  const std::vector<std::string> before = Orders();
  HttpResponse refused = Post(
      "/Action.asp", "t=" + code_ + "&a=2&c=2&id1=1%7CAda&id2=2%7Ccmd&onay=1", ada_);
  EXPECT_EQ(refused.status, 403) << refused.body;
  EXPECT_TRUE(Contains(refused.body, "Customer")) << refused.body;
  EXPECT_EQ(Orders(), before);
  EXPECT_FALSE(Contains(Get("/", ada_).body, "successfully"));
}

TEST_F(UserErrors, ASetActionWhoseValueTheFieldCannotHoldWritesNothing) {
  // A site whose "Close" action would put text into the Amount number.
  std::string text = ConfigText();
  text.replace(text.find("values = { Customer = \"closed\" }"),
               std::string("values = { Customer = \"closed\" }").size(),
               "values = { Amount = \"many\" }");
  config_ = ParseConfig(text, dir_ / "site.toml");
  handler_ = std::make_unique<SiteHandler>(config_);
  std::string cookie = Login("ada", "pw1");
  const std::vector<std::string> before = Orders();
  HttpResponse refused =
      Post("/Action.asp", "t=" + code_ + "&a=2&c=2&id1=1%7CAda&id2=2%7Ccmd&onay=1", cookie);
  EXPECT_EQ(refused.status, 500) << refused.body;
  EXPECT_TRUE(Contains(refused.body, "Amount")) << refused.body;
  EXPECT_EQ(Orders(), before);
}

TEST_F(UserErrors, AWriteTheDatabaseRefusesAnswers409InWords) {
  // Customers are unique: a second "Ada" is refused.
  db_->Run("create unique index orders_customer on Orders (Customer)");
  HttpResponse response = Post("/Add.asp", "t=" + code_ + "&go=1&Customer=Ada&Amount=1", ada_);
  EXPECT_EQ(response.status, 409) << response.body;
  EXPECT_TRUE(Contains(response.body, "already holds this value of \"Customer\""))
      << response.body;
  EXPECT_FALSE(Contains(response.body, "constraint")) << response.body;
  EXPECT_FALSE(Contains(response.body, "INSERT")) << response.body;
  EXPECT_EQ(Orders().size(), 3u);
}

// A refused form comes back as it was sent: the typed values, the ticked
// boxes, and the reason above the form and in the cell of its field.
TEST_F(UserErrors, ARefusedFormComesBackWithWhatWasTypedAndTheReasonBesideItsField) {
  db_->Run("create unique index orders_customer on Orders (Customer)");
  const std::vector<std::string> before = Orders();
  struct Case {
    const char* name;
    std::string path, body;
    int status;
    std::vector<std::string> kept;  // pieces of the form that must be back
    const char* field;              // the control the reason stands beside
    const char* reason;
  } cases[] = {
      {"update with a number that is none", "/Update.asp",
       "t=" + code_ + "&id=1&go=1&Checked_Amount=Yes&Amount=3x", 400,
       {"name=\"Amount\" value=\"3x\"", "name=\"Checked_Amount\" value=\"Yes\" style=\"border: 0 "
                                          "solid #FFFFFF\" checked>"},
       "name=\"Amount\"", "the field &#39;Amount&#39; was given &quot;3x&quot;"},
      {"add the database refuses", "/Add.asp", "t=" + code_ + "&go=1&Customer=Ada&Amount=17", 409,
       {"name=\"Customer\" value=\"Ada\"", "name=\"Amount\" value=\"17\""}, "name=\"Customer\"",
       "already holds this value of \"Customer\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpResponse response = Post(c.path, c.body, ada_);
    EXPECT_EQ(response.status, c.status) << response.body;
    const std::string& body = response.body;
    EXPECT_TRUE(Contains(body, "<div class=\"error-box\" role=\"alert\"><h2>Not saved</h2>")) << body;
    for (const std::string& piece : c.kept) EXPECT_TRUE(Contains(body, piece)) << piece << "\n" << body;
    // The reason stands in the cell of its field's control.
    size_t control = body.find(c.field);
    ASSERT_NE(control, std::string::npos) << body;
    size_t note = body.find("<p class=\"field-error\">", control);
    ASSERT_NE(note, std::string::npos) << body;
    EXPECT_LT(note, body.find("</td>", control)) << body;
    EXPECT_NE(body.find(c.reason, note), std::string::npos) << body;
    // Sent again, the form posts "go" once more: it was not kept as an item.
    EXPECT_FALSE(Contains(body, "successfully")) << body;
  }
  EXPECT_EQ(Orders(), before);
}

}  // namespace
}  // namespace tabrix::site::testing
