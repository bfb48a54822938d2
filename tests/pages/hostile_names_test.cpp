// Schema names are the database's, and anyone who may create a table picks
// them: a table or column name holding <, ", ' or & is escaped for every
// place it lands (the menu, column heads, captions, form field names, the
// sort links' script), so it never ends a string, an attribute or an
// element; and the pages still work on such a table.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "support/test_database.h"

namespace tabrix {
namespace {

constexpr const char* kTable = "T<b>\"'&";
constexpr const char* kColumn = "c\"><i>'x";

class HostileNames : public ::testing::Test {
 protected:
  HostileNames()
      : db_("create table [T<b>\"'&] (Id integer primary key, [c\"><i>'x] varchar(20));"
            "insert into [T<b>\"'&] values (1, 'one');") {}

  testing::ComponentHarness& Begin(const std::string& query = "") {
    h_ = std::make_unique<testing::ComponentHarness>();
    h_->Set("set_dns", Variant(db_.connection_string()));
    h_->Set("UserId", Variant(1));
    h_->Set("set_user1_CanTable", Variant(std::string(kTable) + "[VAU]"));
    h_->Set("set_user1_name", Variant("<script>alert(1)</script>"));
    h_->Set("set_encryptkey", Variant("k3y"));
    h_->request().SetServerVariable("SCRIPT_NAME", "/Search.asp");
    h_->request().SetQueryString(query);
    return *h_;
  }

  // No raw piece of either name, nor the user's configured name, is left
  // in `page`.
  static void ExpectEscaped(const std::string& page, const char* what) {
    for (const char* raw : {"T<b>", "<b>\"", "\"c\"><i>", "<i>'", "'x", "<script>"})
      EXPECT_EQ(page.find(raw), std::string::npos) << what << " holds " << raw << "\n" << page;
  }

  testing::TestDatabase db_;
  std::unique_ptr<testing::ComponentHarness> h_;
};

TEST_F(HostileNames, EveryPageEscapesTheNamesItWrites) {
  Begin().object().DatabaseMenu();
  std::string menu = h_->TakeOutput();
  ExpectEscaped(menu, "menu");
  EXPECT_NE(menu.find("T&lt;b&gt;&quot;&#39;&amp;"), std::string::npos) << menu;

  Begin("go=1").object().Search(Variant(kTable));
  std::string list = h_->TakeOutput();
  ExpectEscaped(list, "list");
  // The sort script gets the name as a string of its own.
  EXPECT_NE(list.find("form1.o.value='c\\x22\\x3E\\x3Ci\\x3E\\x27x'"), std::string::npos) << list;
  EXPECT_NE(list.find(">one<"), std::string::npos);

  Begin().object().Info(Variant(kTable), Variant("1"));
  std::string record = h_->TakeOutput();
  ExpectEscaped(record, "record");
  EXPECT_NE(record.find("one"), std::string::npos);

  Begin("id=1").object().Update(Variant(kTable), Variant("1"));
  std::string form = h_->TakeOutput();
  ExpectEscaped(form, "update form");
  EXPECT_NE(form.find("name=\"Checked_c&quot;&gt;&lt;i&gt;&#39;x\""), std::string::npos) << form;

  Begin().object().Add(Variant(kTable));
  ExpectEscaped(h_->TakeOutput(), "add form");
}

TEST_F(HostileNames, AnUpdateThroughSuchANameWritesItsField) {
  testing::ComponentHarness& h = Begin("id=1");
  h.request().AddFormItem("go", "1");
  h.request().AddFormItem(std::string("Checked_") + kColumn, "Yes");
  h.request().AddFormItem(kColumn, "two");
  h.object().Update(Variant(kTable), Variant("1"));
  EXPECT_EQ(ConcatText(h.session().Value("msg")), "Record updated successfully!");
  Begin().object().Info(Variant(kTable), Variant("1"));
  EXPECT_NE(h_->TakeOutput().find("two"), std::string::npos);
}

}  // namespace
}  // namespace tabrix
