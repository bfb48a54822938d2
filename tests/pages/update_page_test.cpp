// The update page: the exact form with each field's current value (or none
// for a field the user may not view), who may use it, how the record is
// found, what a post changes (only ticked fields) and where it leads, bad
// input, and the atomic write under a failing database call.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pages/record_page_fixture.h"
#include "support/error_number.h"

namespace tabrix {
namespace {

using testing::ErrorNumberOf;
using testing::kEnd;
using testing::PageRequest;
using testing::RecordPages;
using testing::RedirectTo;

constexpr const char* kOrders = R"sql(
  create table Orders (Id integer primary key, Title varchar(50) not null, Qty integer,
                       Price money, Due date, Shipped datetime, Secret varchar(20),
                       Code varchar(5) unique);
  insert into Orders values
    (7, 'Tea "green"', 3, 2.5, '2008-01-02', '2008-01-02 10:00:00', 'pw', 'a'),
    (8, 'Milk', 1, 1, null, null, null, 'b');
)sql";

std::string Row(const std::string& checkbox_name, const std::string& caption,
                const std::string& control) {
  return "                    <tr>                    <th width=\"170\" valign=\"top\" "
         "align=\"left\"><font size=\"1\" face=\"MS Sans Serif\"><input type=\"checkbox\" "
         "name=\"Checked_" +
         checkbox_name + "\" value=\"Yes\" style=\"border: 0 solid #FFFFFF\"></font>&nbsp;" +
         caption +
         ":</font></td>                    <td valign=\"top\" width=\"300\" "
         "bgcolor=\"#ffffff\" style=\"padding:10px 10px 10px 10px;\">" +
         control + "</td>                    </tr>";
}

std::string TextBox(const std::string& name, const std::string& value) {
  return "<input type=\"textbox\" name=\"" + name + "\" value=\"" + value + "\" size=\"25\">";
}

TEST(UpdatePage, WritesTheFormWithTheCurrentValueOfEachFieldTheUserMayChange) {
  // Secret may be changed but not viewed: its control stays empty. Qty may
  // not be changed: no row.
  RecordPages pages(
      "create table Orders (Id integer primary key, Title varchar(50), Qty integer, "
      "Secret varchar(20), Notes text);"
      "insert into Orders values (7, 'Tea \"green\" <b>', 3, 'pw', 'n');",
      "Orders[VU]", "Orders.Qty[U],Orders.Secret[V]");
  pages.Set("code_Orders", Variant("O\"RD"));
  std::string out = pages.Update({"t=ORD&id=7", {}}, Variant("7<x>"));
  const std::string expected =
      "<form action=\"Update.asp\" method=\"post\">"
      "<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\">"
      "<caption><font size='1'>Orders</font><br>&nbsp;<b>7</caption></table>"
      "            <input type=\"hidden\" name=\"go\" value=\"1\">"
      "            <input type=\"hidden\" name=\"t\" value=\"O&quot;RD\">"
      "            <input type=\"hidden\" name=\"id\" value=\"7&lt;x&gt;\">"
      "            <font size=\"1\">Please select fields which you want to change and input "
      "your new values.<br>&nbsp;</font>"
      "            <table>                <thead>" +
      Row("Title", "Title", TextBox("Title", "Tea &quot;green&quot; &lt;b&gt;")) +
      Row("Secret", "Secret", TextBox("Secret", "")) +
      Row("Notes", "Notes", TextBox("Notes", "n")) +
      "            </thead>            </table>"
      "            <div style=\"text-align:center; width:512px;\">"
      "            &nbsp;<br><input type=\"image\" src=\"images/but_update.gif\">&nbsp; "
      "<A href=\"#\" onclick=\"history.back();\"><img src=\"images/but_cancel.gif\" "
      "border=\"0\"></a>            </div>            </form>" +
      kEnd;
  EXPECT_EQ(out, expected);
}

TEST(UpdatePage, TheHeadingShowsTheRecordsTitleAsText) {
  RecordPages pages(
      "create table Orders (Code varchar(10) primary key, Name varchar(10));"
      "insert into Orders values ('<i>&', 'x');",
      "Orders[U]");
  std::string out = pages.Update({"id=%3Ci%3E%26", {}}, Variant("<i>&"));
  EXPECT_NE(out.find("<caption><font size='1'>Orders</font><br>&nbsp;<b>&lt;i&gt;&amp;</caption>"),
            std::string::npos)
      << out;
}

TEST(UpdatePage, AFieldTheUserMayNotViewShowsNoStoredValueInAnyControl) {
  RecordPages pages(kOrders, "Orders[VU]", "Orders.Shipped[V],Orders.Qty[V]");
  pages.Set("set_select1", Variant("Orders.Code,a,Alpha,b,Beta"));
  pages.Set("set_select2", Variant("Orders.Qty,3,Three"));
  std::string out = pages.Update({"id=7", {}}, Variant("7"));
  // The value list of a hidden field selects nothing; a viewable one its
  // stored choice.
  EXPECT_NE(out.find("<option value=\"a\" selected>Alpha</option>"), std::string::npos);
  EXPECT_NE(out.find("<option value=\"3\">Three</option>"), std::string::npos);
  EXPECT_EQ(out.find("selected>Three"), std::string::npos);
  // The stored date-time is not offered: 2008 is not selected (the empty
  // choice is), while the viewable date shows its year.
  EXPECT_NE(out.find("<select name=\"Due_y\""), std::string::npos);
  size_t due_at = out.find("<select name=\"Due_d\"");
  size_t shipped_at = out.find("<select name=\"Shipped_d\"");
  ASSERT_LT(due_at, shipped_at);
  std::string due = out.substr(due_at, shipped_at - due_at);
  std::string shipped = out.substr(shipped_at);
  EXPECT_NE(due.find("<Option value=\"2008\" selected>"), std::string::npos);
  EXPECT_EQ(shipped.find("<Option value=\"2008\" selected>"), std::string::npos);
}

// An empty date shows as empty, not as today: sent back unchanged it stays
// empty.
TEST(UpdatePage, AnEmptyDateShowsItsEmptyChoice) {
  RecordPages pages(kOrders, "Orders[VU]");
  std::string out = pages.Update({"id=8", {}}, Variant("8"));
  for (const char* list : {"Due_d", "Due_m", "Due_y", "Shipped_d", "Shipped_h", "Shipped_i"}) {
    EXPECT_NE(out.find(std::string("<select name=\"") + list +
                       "\" class=\"select\"><Option value=\"\" selected>--</option>"),
              std::string::npos)
        << list;
  }
}

TEST(UpdatePage, AUserWithoutUpdatePermissionGetsTheRefusalAlone) {
  const PageRequest requests[] = {
      {"id=7", {}},
      {"id=7", {{"go", "1"}, {"Checked_Title", "Yes"}, {"Title", "x"}}},
  };
  for (const PageRequest& request : requests) {
    RecordPages pages(kOrders, "Orders[VA]");
    std::string before = pages.Rows("Orders");
    EXPECT_EQ(pages.Update(request, Variant("7")), "Access denied!");
    EXPECT_TRUE(pages.h().sql().empty());
    EXPECT_EQ(pages.Message(), "<none>");
    EXPECT_EQ(pages.Rows("Orders"), before);
  }
}

TEST(UpdatePage, APostChangesOnlyTheTickedFieldsItMayWrite) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> form;
    const char* row7;  // record 7 afterwards
  };
  const char* unchanged = "7|Tea \"green\"|3|2.5|2008-01-02|2008-01-02 10:00:00|pw|a";
  const Case cases[] = {
      {"nothing ticked", {{"Title", "x"}, {"Qty", "9"}}, unchanged},
      {"a box ticked with another word",
       {{"Checked_Title", "yes"}, {"Title", "x"}, {"Checked_Qty", "YES"}, {"Qty", "9"}},
       unchanged},
      {"a field the user may not change", {{"Checked_Secret", "Yes"}, {"Secret", "x"}},
       unchanged},
      {"text, number and money",
       {{"Checked_Title", "Yes"}, {"Title", "Tee"}, {"Checked_Qty", "Yes"}, {"Qty", ""},
        {"Checked_Price", "Yes"}, {"Price", "4.75"}, {"Secret", "ignored"}},
       "7|Tee|0|4.75|2008-01-02|2008-01-02 10:00:00|pw|a"},
      {"dates",
       {{"Checked_Due", "Yes"}, {"Due_y", "2009"}, {"Due_m", "12"}, {"Due_d", "31"},
        {"Due_h", ""}, {"Due_i", ""},
        {"Checked_Shipped", "Yes"}, {"Shipped_y", "2009"}, {"Shipped_m", "1"},
        {"Shipped_d", "5"}, {"Shipped_h", "23"}, {"Shipped_i", "59"}},
       "7|Tea \"green\"|3|2.5|2009-12-31|2009-01-05 23:59:00|pw|a"},
  };
  for (const Case& c : cases) {
    RecordPages pages(kOrders, "Orders[VU]", "Orders.Secret[U]");
    pages.Set("msg", Variant("Saved."));
    PageRequest request{"t=ORD&id=7", c.form};
    request.form.emplace_back("go", "1");
    // The record is the one "id" names; the way back goes to RecordId.
    EXPECT_EQ(pages.Update(request, Variant("8 & 9")), RedirectTo("8+%26+9") + kEnd) << c.name;
    EXPECT_EQ(pages.Message(), "Saved.Record updated successfully!") << c.name;
    EXPECT_EQ(pages.Rows("Orders"),
              std::string(c.row7) + "\n8|Milk|1|1|NULL|NULL|NULL|b\n")
        << c.name;
  }
}

TEST(UpdatePage, TheRecordIsFoundByItsKeyWrittenForItsType) {
  struct Case {
    const char* schema;
    const char* table;
    const char* id;
    const char* query;
    const char* rows_after;
  };
  const Case cases[] = {
      // A numeric key compares as a number: "07" finds record 7.
      {"create table Orders (Id integer primary key, Name varchar(20));"
       "insert into Orders values (7, 'a'), (70, 'b');",
       "Orders", "07", "select * from [Orders] WHERE Id=7", "7|new\n70|b\n"},
      // A text key with an apostrophe, in a table and field whose names
      // need brackets.
      {"create table [Order Lines] ([Line Code] varchar(20) primary key, Name varchar(20));"
       "insert into [Order Lines] values ('O''Brien', 'a'), ('O', 'b');",
       "Order Lines", "O'Brien",
       "select * from [Order Lines] WHERE [Line Code]='O''Brien'", "O|b\nO'Brien|new\n"},
  };
  for (const Case& c : cases) {
    RecordPages pages(c.schema, (std::string(c.table) + "[U]").c_str());
    std::string out = pages.Update(
        {"", {{"id", c.id}, {"go", "1"}, {"Checked_Name", "Yes"}, {"Name", "new"}}},
        Variant(c.id), c.table);
    ASSERT_FALSE(pages.h().sql().empty());
    EXPECT_EQ(pages.h().sql().back(), c.query);
    EXPECT_EQ(pages.Rows(c.table), c.rows_after) << c.table;
  }
}

// Text keys that have the shape of a date, beside the keys of the days they
// would stand for: each id finds its own row only, for the form and for
// the post.
TEST(UpdatePage, ATextKeyShapedLikeADateFindsOnlyItsOwnRow) {
  constexpr const char* kLots = R"sql(
    create table Lots (Code varchar(20) primary key, Name varchar(20), Made date);
    insert into Lots values ('1-2-3', 'key', '2008-01-02'), ('0001-02-03', 'day', null),
      ('2024-1-1 9:5', 'stamp', null), ('2024-01-01 09:05:00', 'iso', null);
  )sql";
  struct Case {
    const char* id;
    const char* rows_after;
  };
  const Case cases[] = {
      {"1-2-3", "0001-02-03|day|NULL\n1-2-3|new|2008-01-02\n2024-01-01 09:05:00|iso|NULL\n"
                "2024-1-1 9:5|stamp|NULL\n"},
      {"2024-1-1 9:5", "0001-02-03|day|NULL\n1-2-3|key|2008-01-02\n2024-01-01 09:05:00|iso|NULL\n"
                       "2024-1-1 9:5|new|NULL\n"},
  };
  for (const Case& c : cases) {
    RecordPages pages(kLots, "Lots[VU]");
    std::string form = pages.Update({"", {{"id", c.id}}}, Variant(c.id), "Lots");
    EXPECT_NE(form.find(TextBox("Name", c.id[1] == '-' ? "key" : "stamp")), std::string::npos)
        << c.id << "\n" << form;
    pages.Update({"", {{"id", c.id}, {"go", "1"}, {"Checked_Name", "Yes"}, {"Name", "new"}}},
                 Variant(c.id), "Lots");
    EXPECT_EQ(pages.Rows("Lots"), c.rows_after) << c.id;
  }
}

TEST(UpdatePage, AnIdThatMatchesNothingShowsAnEmptyPage) {
  for (const char* go : {"", "1"}) {
    RecordPages pages(kOrders, "Orders[VU]");
    std::string before = pages.Rows("Orders");
    std::string out =
        pages.Update({"id=99", {{"go", go}, {"Checked_Title", "Yes"}, {"Title", "x"}}},
                     Variant("99"));
    EXPECT_EQ(out, kEnd) << go;
    EXPECT_EQ(pages.Message(), "<none>");
    EXPECT_EQ(pages.Rows("Orders"), before);
  }
}

TEST(UpdatePage, BadInputRaisesItsErrorAndChangesNothing) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> form;
    long number;
    const char* names_field;
  };
  const Case cases[] = {
      {"30 February",
       {{"Checked_Title", "Yes"}, {"Title", "x"}, {"Checked_Due", "Yes"}, {"Due_y", "2008"},
        {"Due_m", "2"}, {"Due_d", "30"}},
       13, "'Due'"},
      {"a NOT NULL field left empty",
       {{"Checked_Qty", "Yes"}, {"Qty", "5"}, {"Checked_Title", "Yes"}},
       kErrProvider, "Title"},
      {"a duplicate value", {{"Checked_Code", "Yes"}, {"Code", "b"}}, kErrProvider, "Code"},
  };
  for (const Case& c : cases) {
    RecordPages pages(kOrders, "Orders[VU]");
    std::string before = pages.Rows("Orders");
    PageRequest request{"id=7", c.form};
    request.form.emplace_back("go", "1");
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { pages.Update(request, Variant("7")); }, &description),
              c.number)
        << c.name;
    EXPECT_NE(description.find(c.names_field), std::string::npos) << c.name << ": " << description;
    EXPECT_EQ(pages.Rows("Orders"), before) << c.name;
    EXPECT_EQ(pages.Message(), "<none>") << c.name;
  }
}

TEST(UpdatePage, EveryFailedDatabaseCallOfAPostLeavesTheTableAsItWas) {
  RecordPages pages(kOrders, "Orders[VU]");
  const PageRequest post{"t=ORD&id=7",
                         {{"go", "1"}, {"Checked_Title", "Yes"}, {"Title", "Tee"},
                          {"Checked_Qty", "Yes"}, {"Qty", "5"},
                          {"Checked_Shipped", "Yes"}, {"Shipped_y", "2009"}, {"Shipped_m", "1"},
                          {"Shipped_d", "5"}, {"Shipped_h", "8"}, {"Shipped_i", "0"}}};
  const std::string before = pages.Rows("Orders");
  const std::string after =
      "7|Tee|5|2.5|2008-01-02|2009-01-05 08:00:00|pw|a\n8|Milk|1|1|NULL|NULL|NULL|b\n";
  auto restore = [&] {
    pages.db().Run(
        "update Orders set Title = 'Tea \"green\"', Qty = 3, Shipped = '2008-01-02 10:00:00' "
        "where Id = 7;");
  };
  ExpectEveryFailedCallLeavesTheTable(
      pages, [&] { return pages.Update(post, Variant("7")); }, RedirectTo("7") + kEnd, before, after, restore);
}

}  // namespace
}  // namespace tabrix
