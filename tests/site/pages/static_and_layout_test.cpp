// Static files (built in, overridden under the site root, never outside
// it; types, ETags and 304s, gzip for text, edited overrides seen and the
// kept ones bounded), the layout's closing of what a page leaves open, CSV
// cells, and the error answers' statuses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/adodb/field.h"
#include "site/pages/answers.h"
#include "site/pages/bulk_actions.h"
#include "site/pages/embedded_files.h"
#include "site/pages/layout.h"
#include "site/pages/static_files.h"
#include "support/gunzip.h"

namespace tabrix::site {
namespace {

namespace fs = std::filesystem;

HttpRequest StaticGet(const std::string& path, const std::string& method = "GET",
                      const std::string& accept_encoding = "") {
  HttpRequest request;
  request.method = method;
  request.target = request.path = path;
  request.headers.emplace_back("host", "127.0.0.1:8080");
  if (!accept_encoding.empty()) request.headers.emplace_back("accept-encoding", accept_encoding);
  return request;
}

class StaticFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() / ("tabrix_static_" + std::to_string(getpid()));
    root_ = base_ / "www";
    fs::create_directories(root_ / "images");
    fs::create_directories(root_ / "assets");
    std::ofstream(base_ / "secret.txt") << "secret";
    std::ofstream(root_ / "images" / "but_yes.gif") << "GIF89a-site";
    fs::create_symlink(base_ / "secret.txt", root_ / "assets" / "link.css");
  }
  void TearDown() override { fs::remove_all(base_); }
  void Write(const fs::path& file, const std::string& content) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
  }
  fs::path base_, root_;
};

TEST_F(StaticFilesTest, BuiltInFilesCarryTypeETagAndCaching) {
  StaticFiles files(root_);
  struct Case {
    const char* path;
    const char* type;
  } cases[] = {
      {"/assets/tabrix.css", "text/css; charset=utf-8"},
      {"/assets/tabrix.js", "text/javascript; charset=utf-8"},
      {"/images/but_search.gif", "image/gif"},
      {"/images/ico_next.gif", "image/gif"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    HttpResponse response = files.Serve(StaticGet(c.path));
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(response.Header("content-type").value_or(""), c.type);
    EXPECT_EQ(response.Header("cache-control").value_or(""), "public, max-age=3600");
    std::string etag = response.Header("etag").value_or("");
    ASSERT_EQ(etag.size(), 18u);
    HttpRequest again = StaticGet(c.path);
    again.headers.emplace_back("if-none-match", "\"other\", " + etag);
    HttpResponse not_modified = files.Serve(again);
    EXPECT_EQ(not_modified.status, 304);
    EXPECT_TRUE(not_modified.body.empty());
  }
  EXPECT_TRUE(files.Serve(StaticGet("/assets/tabrix.css")).body.find(".cantvisible") !=
              std::string::npos);
  EXPECT_TRUE(files.Serve(StaticGet("/assets/tabrix.js")).body.find("function OpenClose(id)") !=
              std::string::npos);
}

TEST_F(StaticFilesTest, TextIsGzipCodedForClientsThatAcceptItAndImagesNever) {
  // A short text is not worth coding: under a kilobyte.
  Write(root_ / "assets" / "short.css", "body { color: #123; }\n");
  StaticFiles files(root_);
  for (const char* path : {"/assets/tabrix.css", "/assets/tabrix.js"}) {
    SCOPED_TRACE(path);
    HttpResponse plain = files.Serve(StaticGet(path));
    HttpResponse coded = files.Serve(StaticGet(path, "GET", "gzip, deflate"));
    EXPECT_EQ(plain.Header("vary").value_or(""), "Accept-Encoding");
    EXPECT_EQ(coded.Header("vary").value_or(""), "Accept-Encoding");
    EXPECT_FALSE(plain.Header("content-encoding"));
    ASSERT_EQ(coded.Header("content-encoding").value_or(""), "gzip");
    EXPECT_EQ(coded.Header("content-type"), plain.Header("content-type"));
    EXPECT_EQ(testing::Gunzip(coded.body).value_or("(not gzip)"), plain.body);
    // Each form has its own validator, and either one answers 304.
    std::string plain_tag = plain.Header("etag").value_or("");
    std::string coded_tag = coded.Header("etag").value_or("");
    EXPECT_NE(plain_tag, coded_tag);
    for (const std::string& tag : {plain_tag, coded_tag}) {
      HttpRequest again = StaticGet(path, "GET", "gzip");
      again.headers.emplace_back("if-none-match", tag);
      HttpResponse not_modified = files.Serve(again);
      EXPECT_EQ(not_modified.status, 304) << tag;
      EXPECT_EQ(not_modified.Header("etag").value_or(""), coded_tag);
      EXPECT_EQ(not_modified.Header("vary").value_or(""), "Accept-Encoding");
    }
    HttpResponse refused = files.Serve(StaticGet(path, "GET", "gzip;q=0"));
    EXPECT_EQ(refused.body, plain.body);
    HttpResponse head = files.Serve(StaticGet(path, "HEAD", "gzip"));
    EXPECT_EQ(head.Header("content-encoding").value_or(""), "gzip");
    EXPECT_TRUE(head.body.empty());
  }
  // An image is compressed already.
  for (const char* path : {"/images/but_search.gif", "/assets/short.css"}) {
    SCOPED_TRACE(path);
    HttpResponse plain = files.Serve(StaticGet(path, "GET", "gzip"));
    EXPECT_FALSE(plain.Header("content-encoding"));
    EXPECT_FALSE(plain.Header("vary"));
    EXPECT_EQ(plain.body, files.Serve(StaticGet(path)).body);
  }
}

TEST_F(StaticFilesTest, EveryImageTheComponentNamesIsBuiltIn) {
  StaticFiles files(fs::path("/nonexistent"));
  for (const char* name :
       {"butback", "link", "co_addnew", "sort", "ico_back", "ico_next", "ico_ara", "but_search",
        "ico_close", "but_go2", "ico_sil", "ico_guncelle", "ico_ekle", "but_add", "but_cancel",
        "but_update", "but_yes", "ico_grup", "ico_tablo"}) {
    SCOPED_TRACE(name);
    HttpResponse response = files.Serve(StaticGet(std::string("/images/") + name + ".gif"));
    ASSERT_EQ(response.status, 200);
    EXPECT_TRUE(response.body.starts_with("GIF89a"));
  }
}

TEST_F(StaticFilesTest, ASiteFileOverridesAndNothingOutsideTheRootIsServed) {
  StaticFiles files(root_);
  HttpResponse overridden = files.Serve(StaticGet("/images/but_yes.gif"));
  EXPECT_EQ(overridden.body, "GIF89a-site");
  for (const char* path : {"/images/../../secret.txt", "/assets/link.css", "/images/./x.gif",
                           "/images//but_yes.gif", "/images/a\\..\\b.gif", "/images/missing.gif"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(files.Serve(StaticGet(path)).status, 404);
  }
  EXPECT_EQ(files.Serve(StaticGet(std::string("/images/x\0.gif", 14))).status, 404);
  HttpResponse head = files.Serve(StaticGet("/assets/tabrix.css", "HEAD"));
  EXPECT_EQ(head.status, 200);
  EXPECT_TRUE(head.body.empty());
  EXPECT_EQ(files.Serve(StaticGet("/assets/tabrix.css", "POST")).status, 405);
}

TEST_F(StaticFilesTest, AnEditedOverrideIsServedFromTheNextRequestOn) {
  fs::path file = root_ / "assets" / "site.css";
  {
    // With no settling time every file read is kept: what is seen next
    // comes from the file's size, times and inode.
    StaticFiles::Limits limits;
    limits.settle = std::chrono::seconds(0);
    StaticFiles files(root_, limits);
    Write(file, "body { color: red; }");
    EXPECT_EQ(files.Serve(StaticGet("/assets/site.css")).body, "body { color: red; }");
    EXPECT_EQ(files.kept_files(), 1u);
    fs::file_time_type when = fs::last_write_time(file);
    Write(file, "body { color: tan; }");  // the same size
    fs::last_write_time(file, when - std::chrono::seconds(10));
    EXPECT_EQ(files.Serve(StaticGet("/assets/site.css")).body, "body { color: tan; }");
    Write(file, "body {}");
    EXPECT_EQ(files.Serve(StaticGet("/assets/site.css")).body, "body {}");
    // Replaced by another file, as editors save; then one overrides a
    // built-in file and is removed, and the built-in file comes back.
    Write(root_ / "assets" / "new.css", "p { }");
    fs::last_write_time(root_ / "assets" / "new.css", when - std::chrono::seconds(10));
    fs::rename(root_ / "assets" / "new.css", file);
    EXPECT_EQ(files.Serve(StaticGet("/assets/site.css")).body, "p { }");
    fs::rename(file, root_ / "assets" / "tabrix.css");
    EXPECT_EQ(files.Serve(StaticGet("/assets/tabrix.css")).body, "p { }");
    fs::remove(root_ / "assets" / "tabrix.css");
    EXPECT_NE(files.Serve(StaticGet("/assets/tabrix.css")).body.find(".cantvisible"),
              std::string::npos);
  }
  {
    // An edit of the same size within the file system's clock tick leaves
    // size and times as they were: a file written that recently is read
    // again for each request.
    StaticFiles files(root_);
    Write(file, "body { color: red; }");
    EXPECT_EQ(files.Serve(StaticGet("/assets/site.css")).body, "body { color: red; }");
    fs::file_time_type when = fs::last_write_time(file);
    Write(file, "body { color: tan; }");
    fs::last_write_time(file, when);
    EXPECT_EQ(files.Serve(StaticGet("/assets/site.css")).body, "body { color: tan; }");
  }
}

TEST_F(StaticFilesTest, KeptOverridesAreBounded) {
  StaticFiles::Limits limits;
  limits.settle = std::chrono::seconds(0);
  limits.max_files = 3;
  limits.max_bytes = 10000;
  limits.max_file_bytes = 4000;
  StaticFiles files(root_, limits);
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 6; ++i) {
      // Sizes 1000..6000: the last two are too large to keep.
      std::string name = "/images/f" + std::to_string(i) + ".gif";
      std::string content(1000 * (i + 1), static_cast<char>('a' + i));
      if (round == 0) Write(root_ / name.substr(1), content);
      EXPECT_EQ(files.Serve(StaticGet(name)).body, content) << name;
      EXPECT_LE(files.kept_files(), 3u);
    }
  }
  EXPECT_GE(files.kept_files(), 1u);
}

TEST(Layout, ClosesWhatThePageLeavesOpen) {
  struct Case {
    const char* html;
    const char* closing;
  } cases[] = {
      {"", ""},
      {"<table><tr><td>x</td></tr></table>", ""},
      {"<form action=\"a\"><table><tr><td><b>x", "</b></td></tr></table></form>"},
      {"<TABLE><thead><tr><td>x</TD></font></table><div>", "</div>"},
      {"<img src=\"a>b\"><br><input type=\"x\"><div/>", ""},
      {"<div><table><tr></div>", ""},
      {"<script>var s = '<div>';</script><p>", "</p>"},
      {"<!-- <table> --><span>", "</span>"},
      {"a < b and <3", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.html);
    EXPECT_EQ(ClosingTags(c.html), c.closing);
  }
}

TEST(Layout, WrapsMenuMessageAndPage) {
  std::string html = RenderLayout({"Orders & more", "<td>menu", "5 < 6", "<form><table>"});
  EXPECT_TRUE(html.starts_with("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">"));
  EXPECT_NE(html.find("<title>Orders &amp; more - Tabrix</title>"), std::string::npos);
  EXPECT_NE(html.find("<nav class=\"site-menu\"><table class=\"none\"><tr><td>menu</td></tr>"
                      "</table></nav>"),
            std::string::npos);
  EXPECT_NE(html.find("<div class=\"msg\" role=\"status\">5 &lt; 6</div>"), std::string::npos);
  EXPECT_NE(html.find("<div class=\"page\">\n<form><table></table></form>\n</div>"),
            std::string::npos);
  EXPECT_TRUE(html.ends_with("</body>\n</html>\n"));
  EXPECT_EQ(RenderLayout({"", "", "", "x"}).find("class=\"msg\""), std::string::npos);
}

// The first link skips to the page; a heading, when given, opens it.
TEST(Layout, SkipLinkAndHeading) {
  std::string html = RenderLayout({"Orders", "<td>menu", "", "<table>", "Orders & more"});
  size_t skip = html.find("<a class=\"skip-link\" href=\"#main\">");
  ASSERT_NE(skip, std::string::npos);
  EXPECT_LT(skip, html.find("<a href=\"./\">Tabrix</a>"));
  EXPECT_NE(html.find("<main id=\"main\" class=\"site-main\" tabindex=\"-1\">\n"
                      "<h1 class=\"visually-hidden\">Orders &amp; more</h1>\n"),
            std::string::npos);
  EXPECT_EQ(RenderLayout({"Orders", "", "", "<h1>Own</h1>"}).find("visually-hidden"),
            std::string::npos);
}

TEST(Csv, CellsAreNeutralisedAndQuoted) {
  struct Case {
    const char* text;
    const char* cell;
  } cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"=1+2", "'=1+2"},
      {"+1", "'+1"},
      {"-1", "'-1"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\tx", "'\tx"},
      {"\rx", "\"'\rx\""},
      {"a,b", "\"a,b\""},
      {"x;=2+3", "\"x;=2+3\""},
      {"=1;2", "\"'=1;2\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"a=b", "a=b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CsvCell(c.text), c.cell);
  }
}

TEST(Csv, NumbersOfNumericColumnsStayNumbers) {
  struct Case {
    const char* id;
    Variant value;
    long type;
    const char* cell;
  } cases[] = {
      {"integer", Variant(-5), adodb::kInteger, "-5"},
      {"double", Variant(-2.5), adodb::kDouble, "-2.5"},
      {"numeric", Variant(-7), adodb::kNumeric, "-7"},
      // Text is text, in whatever column holds it.
      {"text-in-text", Variant("-5"), adodb::kVarWChar, "'-5"},
      {"text-in-integer", Variant("=2+3"), adodb::kInteger, "'=2+3"},
      {"number-in-text", Variant(-5), adodb::kVarWChar, "'-5"},
      {"null", Variant::Null(), adodb::kInteger, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(CsvCell(c.value, c.type), c.cell);
  }
}

TEST(ErrorAnswers, BusyTimeoutAndLostLinksAre503RefusedWritesAre409OthersAre500WithoutSql) {
  struct Case {
    DbFailure failure;
    int status;
  } cases[] = {
      {DbFailure::kBusy, 503},   {DbFailure::kTimeout, 503},    {DbFailure::kNone, 500},
      {DbFailure::kOther, 500},  {DbFailure::kConstraint, 409}, {DbFailure::kStatement, 500},
      {DbFailure::kInjected, 500}, {DbFailure::kConnection, 503},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.failure));
    ScriptError error(kErrProvider, "the engine message", {"SQLite", "1", c.failure});
    HttpResponse response = ErrorAnswer(error, "");
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.Header("retry-after").has_value(), c.status == 503);
    EXPECT_EQ(response.body.find("the engine message") != std::string::npos,
              c.status == 500 && c.failure != DbFailure::kStatement);
  }
  // A statement the engine refused would quote the page's SQL.
  ScriptError refused(kErrProvider, "near \"selec\": syntax error in selec * from Orders",
                      {"SQLite", "1", DbFailure::kStatement});
  EXPECT_EQ(ErrorAnswer(refused, "").body.find("Orders"), std::string::npos);
  // A change cut off in its commit is told apart: it may be stored.
  ScriptError in_doubt(kErrProvider, "the outcome of the last change is unknown: ...",
                       {"PostgreSQL", "08006", DbFailure::kConnection});
  HttpResponse doubt = ErrorAnswer(in_doubt, "");
  EXPECT_EQ(doubt.status, 503);
  EXPECT_NE(doubt.body.find("whether it was saved is unknown"), std::string::npos);
  // A query out of time says what to narrow; a busy database, to wait.
  HttpResponse slow =
      ErrorAnswer(ScriptError(kErrProvider, "interrupted", {"SQLite", "9", DbFailure::kTimeout}), "");
  EXPECT_NE(slow.body.find("Narrow the list"), std::string::npos);
  HttpResponse busy =
      ErrorAnswer(ScriptError(kErrProvider, "locked", {"SQLite", "5", DbFailure::kBusy}), "");
  EXPECT_EQ(busy.body.find("Narrow the list"), std::string::npos);
  HttpResponse plain = ErrorAnswer(ScriptError(13, "Type mismatch <here>"), "");
  EXPECT_NE(plain.body.find("Error 13: Type mismatch &lt;here&gt;"), std::string::npos);
}

}  // namespace
}  // namespace tabrix::site
