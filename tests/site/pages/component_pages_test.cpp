// The pages that run the component: each for a user who may, one who may
// only view and one who may not; unknown table codes; POSTs from elsewhere
// refused; GETs that change nothing; a page that raises answers 500 and
// the next request is served.
#include "site_fixture.h"

namespace tabrix::site::testing {
namespace {

class ComponentPages : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    ada_ = Login("ada", "pw1");
    bob_ = Login("bob", "pw2");
    cy_ = Login("cy", "pw3");
    code_ = OrdersCode(ada_);
    ASSERT_FALSE(code_.empty());
    // Clear the welcome messages.
    Get("/", ada_);
    Get("/", bob_);
    Get("/", cy_);
  }
  std::string ada_, bob_, cy_, code_;
};

TEST_F(ComponentPages, ListAndRecordPagesPerUser) {
  for (const std::string* cookie : {&ada_, &bob_}) {
    HttpResponse list = Get("/Search.asp?t=" + code_ + "&go=1", *cookie);
    EXPECT_EQ(list.status, 200);
    EXPECT_TRUE(list.body.starts_with("<!DOCTYPE html>"));
    EXPECT_TRUE(Contains(list.body, "Ada"));
    // The page's own output sits inside the layout, after the menu.
    EXPECT_LT(list.body.find("<nav class=\"site-menu\">"), list.body.find("<div class=\"page\">"));
    HttpResponse record = Get("/info.asp?t=" + code_ + "&id=1", *cookie);
    EXPECT_EQ(record.status, 200);
    EXPECT_TRUE(Contains(record.body, "Ada"));
  }
  // The record page offers the update only to the user who may update.
  EXPECT_TRUE(Contains(Get("/Info.asp?t=" + code_ + "&id=1", ada_).body, "Update.asp"));
  EXPECT_FALSE(Contains(Get("/Info.asp?t=" + code_ + "&id=1", bob_).body, "Update.asp"));
  // Cy may not view Orders: the record page refuses him.
  HttpResponse refused = Get("/Info.asp?t=" + code_ + "&id=1", cy_);
  EXPECT_TRUE(Contains(refused.body, "Access deny!"));
  EXPECT_FALSE(Contains(refused.body, "Ada"));
}

TEST_F(ComponentPages, AnUnknownTableCodeAnswers404WithTheLayoutAndMenu) {
  HttpResponse response = Get("/Search.asp?t=nosuch&go=1", ada_);
  EXPECT_EQ(response.status, 404);
  EXPECT_TRUE(Contains(response.body, "<nav class=\"site-menu\">"));
  EXPECT_TRUE(Contains(response.body, "Search.asp?t=" + code_));
}

TEST_F(ComponentPages, AddStoresOnlyOnASameOriginPost) {
  std::vector<std::string> before = Orders();
  // A GET with "go" shows the form and stores nothing.
  HttpResponse get = Get("/Add.asp?t=" + code_ + "&go=1&Customer=Sneaky&Amount=1", ada_);
  EXPECT_EQ(get.status, 200);
  EXPECT_TRUE(Contains(get.body, "<form action=\"Add.asp\" method=\"post\">"));
  EXPECT_EQ(Orders(), before);
  // A POST from elsewhere, or without an origin, is refused.
  std::string form = "go=1&t=" + code_ + "&Customer=Eve&Amount=3";
  EXPECT_EQ(Post("/Add.asp", form, ada_, "http://evil.example").status, 403);
  EXPECT_EQ(Post("/Add.asp", form, ada_, "").status, 403);
  EXPECT_EQ(Orders(), before);
  // The view-only user and the user without the table are refused.
  EXPECT_TRUE(Contains(Post("/Add.asp", form, bob_).body, "Access denied!"));
  EXPECT_TRUE(Contains(Post("/Add.asp", form, cy_).body, "Access denied!"));
  EXPECT_EQ(Orders(), before);

  HttpResponse added = Post("/Add.asp", form, ada_);
  EXPECT_EQ(added.status, 200);
  // The component's location script is the whole answer, and the message
  // waits for the page it leads to.
  EXPECT_TRUE(added.body.starts_with("<script language=\"javascript\">window.location.href='Info.asp?t=" +
                                     code_ + "&id=4';</script>"))
      << added.body;
  EXPECT_FALSE(Contains(added.body, "<!DOCTYPE html>"));
  EXPECT_EQ(Orders().back(), "4|Eve|3");
  HttpResponse record = Get("/Info.asp?t=" + code_ + "&id=4", ada_);
  EXPECT_EQ(Count(record.body, "Record added successfully!"), 1u);
  EXPECT_FALSE(Contains(Get("/Info.asp?t=" + code_ + "&id=4", ada_).body, "Record added"));
}

TEST_F(ComponentPages, UpdateWritesOnlyOnASameOriginPost) {
  std::vector<std::string> before = Orders();
  std::string items = "go=1&t=" + code_ + "&id=1&Checked_Customer=Yes&Customer=Adele";
  HttpResponse get = Get("/Update.asp?" + items, ada_);
  EXPECT_EQ(get.status, 200);
  EXPECT_TRUE(Contains(get.body, "<form action=\"Update.asp\""));
  EXPECT_EQ(Post("/Update.asp", items, ada_, "http://evil.example").status, 403);
  EXPECT_TRUE(Contains(Post("/Update.asp", items, bob_).body, "Access denied"));
  EXPECT_EQ(Orders(), before);

  HttpResponse updated = Post("/Update.asp", items, ada_);
  EXPECT_TRUE(updated.body.starts_with("<script")) << updated.body;
  EXPECT_EQ(Orders().front(), "1|Adele|10");
}

TEST_F(ComponentPages, AFailingPageAnswers500AndTheNextRequestIsServed) {
  // A page size the site offers must be a number: the list page raises 13,
  // a fault of the site's settings, not of the request.
  config_ = ParseConfig(ConfigText("set_pagers = \"10,x\"\n"), dir_ / "site.toml");
  handler_ = std::make_unique<SiteHandler>(config_);
  ada_ = Login("ada", "pw1");
  HttpResponse failed = Get("/Search.asp?t=" + code_ + "&go=1", ada_);
  EXPECT_EQ(failed.status, 500);
  EXPECT_TRUE(Contains(failed.body, "<div class=\"error-box\" role=\"alert\">"));
  EXPECT_TRUE(Contains(failed.body, "Error 13: "));
  EXPECT_TRUE(Contains(failed.body, "<nav class=\"site-menu\">"));
  EXPECT_EQ(Get("/Info.asp?t=" + code_ + "&id=1", ada_).status, 200);
}

TEST_F(ComponentPages, APagePastItsByteBoundAnswers500) {
  config_.max_page_bytes = 1024;
  handler_ = std::make_unique<SiteHandler>(config_);
  std::string cookie = Login("ada", "pw1");
  ::testing::internal::CaptureStderr();
  HttpResponse response = Get("/Search.asp?t=" + code_ + "&go=1", cookie);
  std::string logged = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(response.status, 500);
  EXPECT_TRUE(Contains(response.body, "The page is too large"));
  EXPECT_TRUE(Contains(logged, "max_page_bytes")) << "the operator learns why: " << logged;
  EXPECT_FALSE(Contains(response.body, "Ada</"));
}

TEST_F(ComponentPages, HeadAnswersTheHeadersAlone) {
  HttpRequest head = Request("HEAD", "/Search.asp?t=" + code_ + "&go=1", ada_);
  HttpResponse response = handler_->Handle(head);
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.Header("content-type").value_or(""), "text/html; charset=utf-8");
  EXPECT_TRUE(response.body.empty());
  EXPECT_EQ(handler_->Handle(Request("DELETE", "/Search.asp", ada_)).status, 405);
}

}  // namespace
}  // namespace tabrix::site::testing
