// Static files (built in, overridden under the site root, never outside
// it; types, ETags and 304s), the layout's closing of what a page leaves
// open, CSV cells, and the error answers' statuses.
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

namespace tabrix::site {
namespace {

namespace fs = std::filesystem;

HttpRequest StaticGet(const std::string& path, const std::string& method = "GET") {
  HttpRequest request;
  request.method = method;
  request.target = request.path = path;
  request.headers.emplace_back("host", "127.0.0.1:8080");
  return request;
}

class StaticFiles : public ::testing::Test {
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
  fs::path base_, root_;
};

TEST_F(StaticFiles, BuiltInFilesCarryTypeETagAndCaching) {
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
    HttpResponse response = ServeStaticFile(StaticGet(c.path), root_);
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(response.Header("content-type").value_or(""), c.type);
    EXPECT_EQ(response.Header("cache-control").value_or(""), "public, max-age=3600");
    std::string etag = response.Header("etag").value_or("");
    ASSERT_EQ(etag.size(), 18u);
    HttpRequest again = StaticGet(c.path);
    again.headers.emplace_back("if-none-match", "\"other\", " + etag);
    HttpResponse not_modified = ServeStaticFile(again, root_);
    EXPECT_EQ(not_modified.status, 304);
    EXPECT_TRUE(not_modified.body.empty());
  }
  EXPECT_TRUE(ServeStaticFile(StaticGet("/assets/tabrix.css"), root_).body.find(".cantvisible") !=
              std::string::npos);
  EXPECT_TRUE(ServeStaticFile(StaticGet("/assets/tabrix.js"), root_).body.find(
                  "function OpenClose(id)") != std::string::npos);
}

TEST_F(StaticFiles, EveryImageTheComponentNamesIsBuiltIn) {
  for (const char* name :
       {"butback", "link", "co_addnew", "sort", "ico_back", "ico_next", "ico_ara", "but_search",
        "ico_close", "but_go2", "ico_sil", "ico_guncelle", "ico_ekle", "but_add", "but_cancel",
        "but_update", "but_yes", "ico_grup", "ico_tablo"}) {
    SCOPED_TRACE(name);
    HttpResponse response = ServeStaticFile(StaticGet(std::string("/images/") + name + ".gif"),
                                            fs::path("/nonexistent"));
    ASSERT_EQ(response.status, 200);
    EXPECT_TRUE(response.body.starts_with("GIF89a"));
  }
}

TEST_F(StaticFiles, ASiteFileOverridesAndNothingOutsideTheRootIsServed) {
  HttpResponse overridden = ServeStaticFile(StaticGet("/images/but_yes.gif"), root_);
  EXPECT_EQ(overridden.body, "GIF89a-site");
  for (const char* path : {"/images/../../secret.txt", "/assets/link.css", "/images/./x.gif",
                           "/images//but_yes.gif", "/images/a\\..\\b.gif", "/images/missing.gif"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(ServeStaticFile(StaticGet(path), root_).status, 404);
  }
  EXPECT_EQ(ServeStaticFile(StaticGet(std::string("/images/x\0.gif", 14)), root_).status, 404);
  HttpResponse head = ServeStaticFile(StaticGet("/assets/tabrix.css", "HEAD"), root_);
  EXPECT_EQ(head.status, 200);
  EXPECT_TRUE(head.body.empty());
  EXPECT_EQ(ServeStaticFile(StaticGet("/assets/tabrix.css", "POST"), root_).status, 405);
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
