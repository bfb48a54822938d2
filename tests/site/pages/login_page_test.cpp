// Routing, the login page and the home page: page names in any letter
// case, visitors sent to the login page, a login only by a same-origin
// POST, a new session id at login and none kept after logout, the message
// shown once.
#include "site_fixture.h"

namespace tabrix::site::testing {
namespace {

TEST_F(SiteTest, RoutesForAVisitorWhoHasNotLoggedIn) {
  struct Case {
    const char* target;
    int status;
    const char* location;  // "" for none
  } cases[] = {
      {"/", 302, "Login.asp"},
      {"/Login.asp", 200, ""},
      {"/LOGIN.ASP", 200, ""},
      {"/search.asp?t=x", 302, "Login.asp"},
      {"/Info.asp?t=x&id=1", 302, "Login.asp"},
      {"/add.asp", 302, "Login.asp"},
      {"/Update.asp", 302, "Login.asp"},
      {"/action.ASP", 302, "Login.asp"},
      {"/assets/tabrix.css", 200, ""},
      {"/images/but_yes.gif", 200, ""},
      {"/Search.aspx", 404, ""},
      {"/Login.asp/x", 404, ""},
      {"/images", 404, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    HttpResponse response = Get(c.target);
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.Header("location").value_or(""), c.location);
    if (c.status == 404) {
      EXPECT_TRUE(response.body.starts_with("<!DOCTYPE html>")) << response.body;
      EXPECT_TRUE(Contains(response.body, "Not found"));
    }
  }
}

TEST_F(SiteTest, OnlyASameOriginPostLogsIn) {
  // A GET carrying a name and a password shows the form and logs nobody in.
  HttpResponse get = Get("/Login.asp?username=ada&password=pw1");
  EXPECT_EQ(get.status, 200);
  EXPECT_TRUE(Contains(get.body, "<form action=\"Login.asp\" method=\"post\">"));
  EXPECT_EQ(Get("/", CookieOf(get)).status, 302);

  // A POST from elsewhere, or with no origin at all, is refused.
  EXPECT_EQ(Post("/Login.asp", "username=ada&password=pw1", "", "http://evil.example").status,
            403);
  EXPECT_EQ(Post("/Login.asp", "username=ada&password=pw1", "", "").status, 403);

  HttpResponse wrong = Post("/Login.asp", "username=ada&password=nope");
  EXPECT_EQ(wrong.status, 200);
  // A failure is drawn as a warning, never as a success.
  EXPECT_TRUE(Contains(wrong.body, "<div class=\"msg warn\" role=\"alert\">The user name or the "
                                   "password is wrong."))
      << wrong.body;
  EXPECT_TRUE(Contains(wrong.body, "value=\"ada\""));

  HttpResponse right = Post("/Login.asp", "username=ADA&password=pw1");
  EXPECT_EQ(right.status, 302);
  EXPECT_EQ(right.Header("location").value_or(""), "./");
  EXPECT_EQ(Get("/", CookieOf(right)).status, 200);
}

// A visitor keeps nothing until a login: no session, no cookie, however
// many pages they ask for.
TEST_F(SiteTest, AVisitorWhoHasNotLoggedInGetsNoCookie) {
  const std::string planted = "tabrix_session=" + std::string(32, 'a');
  for (const std::string& cookie : {std::string(), planted}) {
    SCOPED_TRACE(cookie);
    HttpResponse answers[] = {
        Get("/Login.asp", cookie),
        Get("/", cookie),
        Get("/Search.asp?t=x", cookie),
        Post("/Login.asp", "username=ada&password=nope", cookie),
        Get("/Login.asp?logout=1", cookie),
    };
    for (const HttpResponse& answer : answers)
      EXPECT_EQ(answer.Header("set-cookie"), std::nullopt) << answer.status;
  }
}

TEST_F(SiteTest, LoginGivesTheSessionANewIdAndLogoutEndsIt) {
  // An id sent before the login is never the one the login gets.
  std::string before = "tabrix_session=" + std::string(32, 'a');
  std::string cookie = CookieOf(Post("/Login.asp", "username=ada&password=pw1", before));
  ASSERT_FALSE(cookie.empty());
  EXPECT_NE(cookie, before);
  EXPECT_EQ(Get("/", before).status, 302);

  HttpResponse home = Get("/", cookie);
  EXPECT_EQ(home.status, 200);
  EXPECT_EQ(home.Header("set-cookie"), std::nullopt);

  HttpResponse logout = Get("/Login.asp?logout=1", cookie);
  EXPECT_EQ(logout.status, 200);
  EXPECT_TRUE(Contains(logout.body, "You have logged out."));
  // Nothing is kept after a logout: the browser is told to drop the cookie.
  std::string cleared = logout.Header("set-cookie").value_or("");
  EXPECT_EQ(CookieOf(logout), "tabrix_session=");
  EXPECT_TRUE(Contains(cleared, "Max-Age=0")) << cleared;
  EXPECT_EQ(Get("/", cookie).status, 302);
  // The settings are read as before: a login after it works.
  EXPECT_EQ(Post("/Login.asp", "username=bob&password=pw2", cookie).status, 302);
}

TEST_F(SiteTest, TheMessageIsShownOnceOnTheNextPageThatRendersTheLayout) {
  std::string cookie = Login("ada", "pw1");
  HttpResponse first = Get("/", cookie);
  EXPECT_EQ(Count(first.body, "Welcome, Ada!"), 1u) << first.body;
  EXPECT_TRUE(Contains(first.body, "<div class=\"msg\" role=\"status\">Welcome, Ada!</div>"));
  HttpResponse second = Get("/", cookie);
  EXPECT_FALSE(Contains(second.body, "Welcome, Ada!"));
  EXPECT_FALSE(Contains(second.body, "class=\"msg\""));
}

TEST_F(SiteTest, TheHomePageShowsTheMenuOfTheTablesTheUserMayView) {
  for (const char* user : {"ada", "bob"}) {
    SCOPED_TRACE(user);
    std::string cookie = Login(user, user == std::string("ada") ? "pw1" : "pw2");
    HttpResponse home = Get("/", cookie);
    EXPECT_EQ(home.status, 200);
    EXPECT_TRUE(Contains(home.body, "<nav class=\"site-menu\">"));
    EXPECT_TRUE(Contains(home.body, "Search.asp?t="));
    EXPECT_TRUE(Contains(home.body, "Login.asp?logout=1"));
    EXPECT_TRUE(Contains(home.body, "Choose a table from the menu"));
  }
  // An account whose permissions open no table is told so, and where the
  // owner opens them, instead of being asked to choose from nothing.
  std::string cookie = Login("cy", "pw3");
  HttpResponse home = Get("/", cookie);
  EXPECT_EQ(home.status, 200);
  EXPECT_FALSE(Contains(home.body, "Search.asp?t="));
  EXPECT_FALSE(Contains(home.body, "Choose a table from the menu"));
  EXPECT_TRUE(Contains(home.body, "Your account may open no table"));
  EXPECT_TRUE(Contains(home.body, "set_user3_CanTable")) << home.body;
}

TEST_F(SiteTest, TheListPageRefusalLeadsToTheLoginPageWithItsMessage) {
  std::string ada = Login("ada", "pw1");
  std::string code = OrdersCode(ada);
  ASSERT_FALSE(code.empty());
  std::string cy = Login("cy", "pw3");
  HttpResponse refused = Get("/Search.asp?t=" + code + "&go=1", cy);
  EXPECT_EQ(refused.status, 302);
  EXPECT_EQ(refused.Header("location").value_or(""), "Login.asp?msg=Y");
  // Already logged in, the visitor is told so, with the menu, not asked to
  // sign in again; someone not logged in gets the form with the notice.
  HttpResponse login = Get("/Login.asp?msg=Y", cy);
  EXPECT_EQ(login.status, 403);
  EXPECT_TRUE(Contains(login.body, "You do not have permission to view that page."));
  EXPECT_TRUE(Contains(login.body, "<nav class=\"site-menu\">")) << login.body;
  EXPECT_FALSE(Contains(login.body, "id=\"password\"")) << login.body;
  HttpResponse stranger = Get("/Login.asp?msg=Y");
  EXPECT_EQ(stranger.status, 200);
  EXPECT_TRUE(Contains(stranger.body, "<div class=\"msg warn\" role=\"alert\">You do not have "
                                      "permission to view that page.</div>"))
      << stranger.body;
  EXPECT_TRUE(Contains(stranger.body, "id=\"password\""));
}

TEST_F(SiteTest, ThrottleGuardRefusesBeforeTheLoginIsChecked) {
  Guards guards = DefaultGuards(config_);
  std::vector<std::string> results;
  guards.login_refused = [](const HttpRequest&,
                            const std::string& name) -> std::optional<std::string> {
    if (name == "ada") return "Too many attempts for this name; try again later.";
    return std::nullopt;
  };
  guards.login_result = [&](const HttpRequest&, const std::string& name, bool ok) {
    results.push_back(name + (ok ? " ok" : " failed"));
  };
  handler_ = std::make_unique<SiteHandler>(config_, guards);
  HttpResponse refused = Post("/Login.asp", "username=ada&password=pw1");
  EXPECT_EQ(refused.status, 429);
  EXPECT_TRUE(Contains(refused.body, "Too many attempts for this name; try again later."));
  EXPECT_EQ(Get("/", CookieOf(refused)).status, 302);
  EXPECT_EQ(Post("/Login.asp", "username=bob&password=x").status, 200);
  EXPECT_EQ(Post("/Login.asp", "username=bob&password=pw2").status, 302);
  EXPECT_EQ(results, (std::vector<std::string>{"bob failed", "bob ok"}));
}

class LoginFromAddresses : public SiteTest {
 protected:
  // A login POST as the server hands it over from `peer`, with an
  // X-Forwarded-For header when `forwarded` is not empty.
  HttpResponse LoginFrom(const std::string& peer, const std::string& body,
                         const std::string& forwarded = "") {
    HttpRequest request = Request("POST", "/Login.asp", "");
    request.remote_address = peer;
    request.headers.emplace_back("content-type", "application/x-www-form-urlencoded");
    request.headers.emplace_back("origin", kOrigin);
    if (!forwarded.empty()) request.headers.emplace_back("x-forwarded-for", forwarded);
    request.body = body;
    return handler_->Handle(request);
  }
};

TEST_F(LoginFromAddresses, AGuesserLocksANameOnlyForItselfAndItsAddressForEveryName) {
  const std::string guesser = "198.51.100.7", owner = "192.0.2.1";
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(LoginFrom(guesser, "username=ada&password=wrong").status, 200);
  EXPECT_EQ(LoginFrom(guesser, "username=ada&password=pw1").status, 429);
  EXPECT_EQ(LoginFrom(owner, "username=ada&password=pw1").status, 302)
      << "the owner logs in from elsewhere";

  // Many names from one address: that address is refused for any name.
  for (int i = 0; i < 20; ++i)
    LoginFrom(guesser, "username=user" + std::to_string(i) + "&password=x");
  HttpResponse refused = LoginFrom(guesser, "username=bob&password=pw2");
  EXPECT_EQ(refused.status, 429);
  EXPECT_TRUE(Contains(refused.body, "from your address")) << refused.body;
  EXPECT_EQ(LoginFrom(owner, "username=bob&password=pw2").status, 302);
}

TEST_F(LoginFromAddresses, BehindATrustedProxyTheForwardedAddressIsCounted) {
  config_.trusted_proxies = {"127.0.0.1"};
  handler_ = std::make_unique<SiteHandler>(config_);
  for (int i = 0; i < 10; ++i)
    LoginFrom("127.0.0.1", "username=ada&password=wrong", "198.51.100.7");
  EXPECT_EQ(LoginFrom("127.0.0.1", "username=ada&password=pw1",
                      "192.0.2.1, 198.51.100.7")
                .status,
            429)
      << "an entry the visitor wrote on the left changes nothing";
  EXPECT_EQ(LoginFrom("127.0.0.1", "username=ada&password=pw1", "192.0.2.1").status,
            302);
}

TEST_F(SiteTest, AnActionOfTheSettingsWithoutItsDefinitionIsAStartUpError) {
  SiteConfig config = ParseConfig(ConfigText("set_action4 = \"Archive,R,ALL\"\n"), dir_ / "x.toml");
  try {
    SiteHandler handler(config);
    ADD_FAILURE() << "accepted";
  } catch (const ConfigError& e) {
    EXPECT_TRUE(Contains(e.what(), "set_action4")) << e.what();
    EXPECT_TRUE(Contains(e.what(), "[actions.4]")) << e.what();
  }
}

}  // namespace
}  // namespace tabrix::site::testing
