// Tables and columns whose names differ only in letter case ("Secret" and
// "secret" on PostgreSQL; SQLite tells names apart by case only beyond
// ASCII, so there "Ärzte" and "ärzte"): what is granted, hidden, configured
// or posted for one spelling never reaches the other.
#include <regex>

#include "site_fixture.h"

namespace tabrix::site::testing {
namespace {

struct Twins {
  std::string upper, lower;  // the tables
  std::string Field, field;  // two columns of `upper`
};

Twins EngineTwins() {
  if (tabrix::testing::TestEngine() == "postgres") return {"Secret", "secret", "Email", "email"};
  return {"Ärzte", "ärzte", "Öl", "öl"};
}

class CaseTwins : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    const Twins& n = names_;
    db_->Run("CREATE TABLE \"" + n.upper + "\" (id int PRIMARY KEY, \"" + n.Field + "\" text, \"" +
             n.field + "\" text);"
             "CREATE TABLE \"" + n.lower + "\" (id int PRIMARY KEY, note text, extra text);"
             "INSERT INTO \"" + n.upper + "\" VALUES (1, 'big-one', 'small-one');"
             "INSERT INTO \"" + n.lower + "\" VALUES (1, 'plain-one', 'extra-one');");
    // Dee may view the upper table only. Eve may view both and update the
    // upper one, without seeing its upper-case column; the lower table's
    // list is configured to two columns.
    config_ = ParseConfig(
        ConfigText("set_user4_username = \"dee\"\nset_user4_password = \"pw4\"\n"
                   "set_user4_name = \"Dee\"\nset_user4_CanTable = \"" + n.upper + "[V]\"\n"
                   "set_user5_username = \"eve\"\nset_user5_password = \"pw5\"\n"
                   "set_user5_name = \"Eve\"\n"
                   "set_user5_CanTable = \"" + n.upper + "[VU]," + n.lower + "[V]\"\n"
                   "set_user5_CantField = \"" + n.upper + "." + n.Field + "[V]\"\n"
                   "\"set_" + n.lower + "_list\" = \"id,note\"\n"),
        dir_ / "site.toml");
    handler_ = std::make_unique<SiteHandler>(config_);
    dee_ = Login("dee", "pw4");
    eve_ = Login("eve", "pw5");
    for (const std::string& code : MenuCodes(eve_)) {
      std::string list = Get("/Search.asp?t=" + code + "&go=1", eve_).body;
      if (Contains(list, "small-one")) upper_code_ = code;
      if (Contains(list, "plain-one")) lower_code_ = code;
    }
  }

  // The table codes the menu links to, in its order.
  std::vector<std::string> MenuCodes(const std::string& cookie) {
    std::string body = Get("/", cookie).body;
    std::vector<std::string> codes;
    static const std::regex link("Search\\.asp\\?t=([^&\"]+)&go=1");
    for (std::sregex_iterator it(body.begin(), body.end(), link), end; it != end; ++it)
      codes.push_back((*it)[1]);
    return codes;
  }

  // The upper table's row: "Field|field".
  std::string UpperRow() {
    auto rs = adodb::NewRecordset();
    rs->Open(Variant("select [" + names_.Field + "], [" + names_.field + "] from [" +
                     names_.upper + "] where id = 1"),
             Variant(db_->connection_string()), Variant(3), Variant(1));
    std::string row = ConcatText(rs->Value(Variant(0))) + "|" + ConcatText(rs->Value(Variant(1)));
    rs->Close();
    return row;
  }

  Twins names_ = EngineTwins();
  std::string dee_, eve_, upper_code_, lower_code_;
};

TEST_F(CaseTwins, EachTableHasItsOwnCodeAndPermissions) {
  ASSERT_FALSE(upper_code_.empty());
  ASSERT_FALSE(lower_code_.empty());
  EXPECT_NE(upper_code_, lower_code_);
  EXPECT_EQ(MenuCodes(eve_).size(), 2u);

  // Dee's grant names the upper table only.
  EXPECT_EQ(MenuCodes(dee_), std::vector<std::string>{upper_code_});
  EXPECT_TRUE(Contains(Get("/Search.asp?t=" + upper_code_ + "&go=1", dee_).body, "small-one"));
  HttpResponse list = Get("/Search.asp?go=1&t=" + lower_code_, dee_);
  EXPECT_EQ(list.status, 302);
  EXPECT_EQ(list.Header("location").value_or(""), "Login.asp?msg=Y");
  HttpResponse record = Get("/Info.asp?id=1&t=" + lower_code_, dee_);
  EXPECT_TRUE(Contains(record.body, "Access deny!"));
  EXPECT_FALSE(Contains(list.body + record.body, "plain-one"));
}

TEST_F(CaseTwins, FieldEntriesAndTableSettingsApplyToTheirOwnSpelling) {
  // The hidden column is the upper-case one alone.
  for (const char* page : {"/Search.asp?go=1&t=", "/Info.asp?id=1&t="}) {
    std::string body = Get(page + upper_code_, eve_).body;
    EXPECT_TRUE(Contains(body, "small-one")) << page;
    EXPECT_FALSE(Contains(body, "big-one")) << page;
  }
  // The lower table's list setting shapes its own list only.
  std::string lower_list = Get("/Search.asp?go=1&t=" + lower_code_, eve_).body;
  EXPECT_TRUE(Contains(lower_list, "plain-one"));
  EXPECT_FALSE(Contains(lower_list, "extra-one"));
  EXPECT_TRUE(Contains(Get("/Info.asp?id=1&t=" + lower_code_, eve_).body, "extra-one"));
}

TEST_F(CaseTwins, AnUpdateWritesTheColumnOfThePostedSpelling) {
  std::string form = "go=1&id=1&t=" + upper_code_ + "&Checked_" + UrlEncode(names_.field) +
                     "=Yes&" + UrlEncode(names_.field) + "=changed&" + UrlEncode(names_.Field) +
                     "=unticked";
  HttpResponse updated = Post("/Update.asp", form, eve_);
  EXPECT_TRUE(updated.body.starts_with("<script")) << updated.body;
  EXPECT_EQ(UpperRow(), "big-one|changed");

  form = "go=1&id=1&t=" + upper_code_ + "&Checked_" + UrlEncode(names_.Field) + "=Yes&" +
         UrlEncode(names_.Field) + "=upper&" + UrlEncode(names_.field) + "=unticked";
  EXPECT_TRUE(Post("/Update.asp", form, eve_).body.starts_with("<script"));
  EXPECT_EQ(UpperRow(), "upper|changed");
}

}  // namespace
}  // namespace tabrix::site::testing
