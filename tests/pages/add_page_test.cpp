// The add page: the exact form, who may use it, when a request counts as a
// post, what a post stores and where it leads (the row this request
// inserted), bad input, and the atomic write under a failing database call.
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

// Id is the engine's row key, so the forms leave it out.
constexpr const char* kOrders = R"sql(
  create table Orders (Id integer primary key, Title varchar(50) not null, Qty integer,
                       Price money, Due date, Shipped datetime, Notes varchar(20));
  insert into Orders values (1, 'Tea', 2, 3.5, '2008-01-02', '2008-01-02 10:00:00', null);
)sql";

constexpr const char* kFieldRowOpen =
    "                    <TR>                    <th width=\"170\" valign=\"top\" "
    "align=\"left\">";
constexpr const char* kControlCell =
    "                    <td valign=\"top\" width=\"300\" bgcolor=\"#ffffff\" "
    "style=\"padding:10px 10px 10px 10px;\">";
constexpr const char* kFieldRowClose = "</font></td>                    </TR>";

std::string TextBoxRow(const std::string& name, const std::string& value) {
  return kFieldRowOpen + name + ":</font></td>" + kControlCell +
         "<input type=\"textbox\" name=\"" + name + "\" value=\"" + value + "\" size=\"25\">" +
         kFieldRowClose;
}

TEST(AddPage, WritesAFormRowForEachFieldTheUserMayFillIn) {
  RecordPages pages(
      "create table Orders (Id integer primary key, Title varchar(50), Qty integer, "
      "Price money, Notes varchar(20));",
      "Orders[VA]", "Orders.Notes[A]");
  std::string out = pages.Add({"t=O%22RD", {}});
  const std::string expected =
      "<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\">"
      "<caption><font size='1'>Orders</font><br><img src='images/ico_ekle.gif' "
      "align='absmiddle'>&nbsp;<b>Add New</caption></table>"
      "            <form action=\"Add.asp\" method=\"post\">"
      "            <input type=\"hidden\" name=\"go\" value=\"1\">"
      "            <input type=\"hidden\" name=\"t\" value=\"O&quot;RD\">"
      "            <font size=\"1\">Please fill this fields than press \"Add\" "
      "button.<br>&nbsp;</font>"
      "            <table>            <thead>" +
      TextBoxRow("Title", "") + TextBoxRow("Qty", "0") + TextBoxRow("Price", "0") +
      "            </thead>            </table>"
      "            <div style=\"text-align:center; width:512px;\">"
      "            &nbsp;<br><input type=\"image\" src=\"images/but_add.gif\">&nbsp; "
      "<A href=\"#\" onclick=\"history.back();\"><img src=\"images/but_cancel.gif\" "
      "border=\"0\"></a>            </div>" +
      kEnd;
  EXPECT_EQ(out, expected);
  EXPECT_EQ(pages.h().sql(), std::vector<std::string>{"select top 1 * from [Orders]"});
}

TEST(AddPage, TheFormShowsDateListsForDateFields) {
  RecordPages pages("create table Orders (Id integer primary key, Due date, Shipped datetime);",
                    "Orders[A]");
  std::string out = pages.Add({"Due_d=7&Due_m=3&Due_y=2008", {}});
  // The date-only field gets day, month and year; the other one hour and
  // minute too.
  for (const char* list : {"Due_d", "Due_m", "Due_y", "Shipped_d", "Shipped_m", "Shipped_y",
                           "Shipped_h", "Shipped_i"})
    EXPECT_NE(out.find(std::string("<select name=\"") + list + "\""), std::string::npos) << list;
  EXPECT_EQ(out.find("Due_h"), std::string::npos);
  EXPECT_NE(out.find("<Option value=\"2008\" selected>2008</option>"), std::string::npos);
}

// A date that may be left empty starts empty, with an empty first choice in
// each list; one that must be filled in starts at today, as it always did.
TEST(AddPage, ADateThatMayBeEmptyStartsEmptyAndOneThatMayNotStartsAtToday) {
  RecordPages pages(
      "create table Orders (Id integer primary key, Due date not null, Shipped datetime);",
      "Orders[A]");
  std::string out = pages.Add({"", {}});
  for (const char* list : {"Shipped_d", "Shipped_m", "Shipped_y", "Shipped_h", "Shipped_i"}) {
    std::string opening = std::string("<select name=\"") + list + "\" class=\"select\">";
    size_t at = out.find(opening);
    ASSERT_NE(at, std::string::npos) << list;
    const std::string empty_choice = "<Option value=\"\" selected>--</option>";
    EXPECT_EQ(out.compare(at + opening.size(), empty_choice.size(), empty_choice), 0)
        << list << ": " << out.substr(at, 120);
    size_t end = out.find("</select>", at);
    EXPECT_EQ(out.substr(at, end - at).find(" selected>", opening.size() + empty_choice.size()),
              std::string::npos)
        << list << " selects a part of a date";
  }
  size_t due = out.find("<select name=\"Due_y\"");
  ASSERT_NE(due, std::string::npos);
  std::string due_lists = out.substr(due, out.find("Shipped_d") - due);
  EXPECT_EQ(due_lists.find("value=\"\""), std::string::npos) << "no empty choice where a date is needed";
  EXPECT_NE(due_lists.find(" selected>"), std::string::npos) << "today is selected";
}

// Every list left empty stores Null; a date the field needs is refused.
TEST(AddPage, EveryDateListLeftEmptyStoresNull) {
  RecordPages pages("create table Orders (Id integer primary key, Shipped datetime);",
                    "Orders[A]");
  pages.Add({"", {{"go", "1"}, {"Shipped_y", ""}, {"Shipped_m", ""}, {"Shipped_d", ""},
                  {"Shipped_h", ""}, {"Shipped_i", ""}}});
  EXPECT_EQ(pages.Message(), "Record added successfully!");
  EXPECT_EQ(pages.Rows("Orders"), "1|NULL\n");
}

TEST(AddPage, AUserWithoutAddPermissionGetsTheRefusalAlone) {
  const PageRequest requests[] = {
      {"t=ORD", {}},
      {"t=ORD", {{"go", "1"}, {"Title", "Milk"}}},
  };
  for (const PageRequest& request : requests) {
    RecordPages pages(kOrders, "Orders[VU]");
    std::string before = pages.Rows("Orders");
    EXPECT_EQ(pages.Add(request), "Access denied!") << request.form.size();
    EXPECT_TRUE(pages.h().sql().empty());
    EXPECT_EQ(pages.Message(), "<none>");
    EXPECT_EQ(pages.Rows("Orders"), before);
  }
}

TEST(AddPage, OnlyGoOfExactlyOneAdds) {
  for (const char* go : {"", "01", "yes", " 1", "1 "}) {
    RecordPages pages(kOrders, "Orders[A]");
    std::string before = pages.Rows("Orders");
    std::string out = pages.Add({"t=ORD", {{"go", go}, {"Title", "Milk"}}});
    EXPECT_NE(out.find("<form action=\"Add.asp\""), std::string::npos) << "go=" << go;
    EXPECT_EQ(pages.Rows("Orders"), before) << "go=" << go;
    EXPECT_EQ(pages.Message(), "<none>") << "go=" << go;
  }
}

TEST(AddPage, APostStoresConvertedValuesAndLeadsToTheNewRecord) {
  RecordPages pages(kOrders, "Orders[VA]", "Orders.Notes[A]");
  pages.Set("msg", Variant("Saved."));
  std::string out = pages.Add({"t=ORD",
                               {{"go", "1"},
                                {"Title", "Tea & \"cakes\""},
                                {"Qty", "1,012"},
                                {"Price", "12.50"},
                                {"Due_y", "2008"}, {"Due_m", "3"}, {"Due_d", "7"},
                                {"Due_h", ""}, {"Due_i", ""},
                                {"Shipped_y", "2008"}, {"Shipped_m", "3"}, {"Shipped_d", "7"},
                                {"Shipped_h", "14"}, {"Shipped_i", "5"},
                                {"Notes", "not mine to write"}}});
  EXPECT_EQ(out, RedirectTo("2") + kEnd);
  EXPECT_EQ(pages.Message(), "Saved.Record added successfully!");
  EXPECT_EQ(pages.Rows("Orders"),
            "1|Tea|2|3.5|2008-01-02|2008-01-02 10:00:00|NULL\n"
            "2|Tea & \"cakes\"|1012|12.5|2008-03-07|2008-03-07 14:05:00|NULL\n");
  // The new key is read from the inserted row itself: no second query.
  EXPECT_EQ(pages.h().sql(), std::vector<std::string>{"select top 1 * from [Orders]"});
}

TEST(AddPage, EachPostLandsOnTheRowItInserted) {
  // A generated key: two adds in a row, each to its own record.
  {
    RecordPages pages(
        "create table Orders (Id integer primary key, Title varchar(50));"
        "insert into Orders values (1, 'first');",
        "Orders[A]");
    EXPECT_EQ(pages.Add({"", {{"go", "1"}, {"Title", "a"}}}), RedirectTo("2") + kEnd);
    EXPECT_EQ(pages.Add({"", {{"go", "1"}, {"Title", "b"}}}), RedirectTo("3") + kEnd);
    EXPECT_EQ(pages.Rows("Orders"), "1|first\n2|a\n3|b\n");
  }
  // A key the database does not generate takes the posted value, which is
  // not the greatest key of the table; the id is URL-encoded.
  struct Case {
    const char* schema;
    const char* posted_key;
    const char* encoded;
  };
  const Case cases[] = {
      {"create table Orders (Code varchar(10) primary key, Name varchar(10));"
       "insert into Orders values ('zz', 'last');",
       "b&b 'x'", "b%26b+%27x%27"},
      {"create table Orders (Code int primary key, Name varchar(10));"
       "insert into Orders values (90, 'last');",
       "5", "5"},
  };
  for (const Case& c : cases) {
    RecordPages pages(c.schema, "Orders[A]");
    std::string out = pages.Add({"", {{"go", "1"}, {"Code", c.posted_key}, {"Name", "new"}}});
    EXPECT_EQ(out, RedirectTo(c.encoded) + kEnd) << c.schema;
  }
}

TEST(AddPage, ADateThatIsNoDateRaisesTypeMismatchBeforeAnythingIsWritten) {
  struct Case {
    const char* y;
    const char* m;
    const char* d;
    const char* h;
    const char* i;
  };
  const Case cases[] = {
      {"2008", "2", "30", "", ""},   // 30 February
      {"2008", "13", "1", "", ""},   // month 13
      {"2008", "", "7", "", ""},     // a part missing
      {"", "3", "7", "", ""},
      {"2008", "3", "7", "14", ""},  // an hour without its minute
      {"2008", "3", "7", "25", "0"},
  };
  for (const Case& c : cases) {
    RecordPages pages(kOrders, "Orders[A]");
    std::string before = pages.Rows("Orders");
    std::string description;
    long number = ErrorNumberOf(
        [&] {
          pages.Add({"", {{"go", "1"}, {"Title", "x"},
                          {"Shipped_y", c.y}, {"Shipped_m", c.m}, {"Shipped_d", c.d},
                          {"Shipped_h", c.h}, {"Shipped_i", c.i},
                          {"Due_y", "2008"}, {"Due_m", "1"}, {"Due_d", "1"}}});
        },
        &description);
    std::string parts = std::string(c.y) + "-" + c.m + "-" + c.d + " " + c.h + ":" + c.i;
    EXPECT_EQ(number, 13) << parts;
    EXPECT_NE(description.find("'Shipped'"), std::string::npos) << description;
    EXPECT_EQ(pages.Rows("Orders"), before) << parts;
    EXPECT_EQ(pages.Message(), "<none>") << parts;
  }
}

TEST(AddPage, AValueTheDatabaseRefusesRaisesItsErrorAndStoresNothing) {
  struct Case {
    const char* name;
    PageRequest request;
    const char* names_field;  // what the provider's message must mention
  };
  const Case cases[] = {
      {"a NOT NULL field left out", {"", {{"go", "1"}, {"Code", "n"}}}, "Title"},
      {"a duplicate key", {"", {{"go", "1"}, {"Code", "a"}, {"Title", "x"}}}, "Code"},
  };
  for (const Case& c : cases) {
    RecordPages pages(
        "create table Orders (Code varchar(5) primary key, Title varchar(20) not null);"
        "insert into Orders values ('a', 'first');",
        "Orders[A]");
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { pages.Add(c.request); }, &description), kErrProvider) << c.name;
    EXPECT_NE(description.find(c.names_field), std::string::npos) << c.name << ": " << description;
    EXPECT_EQ(pages.Rows("Orders"), "a|first\n") << c.name;
    EXPECT_EQ(pages.Message(), "<none>") << c.name;
  }
}

TEST(AddPage, SqliteStrictTablesRefuseAFractionInAnIntegerField) {
  if (testing::TestEngine() != "sqlite") GTEST_SKIP() << "STRICT tables are SQLite's";
  RecordPages pages("create table Orders (Id integer primary key, Qty integer) strict;",
                    "Orders[A]");
  std::string description;
  EXPECT_EQ(ErrorNumberOf([&] { pages.Add({"", {{"go", "1"}, {"Qty", "12.5"}}}); },
                          &description),
            kErrProvider);
  EXPECT_NE(description.find("Qty"), std::string::npos) << description;
  EXPECT_EQ(pages.Rows("Orders"), "");
}

TEST(AddPage, EveryFailedDatabaseCallOfAPostLeavesTheTableAsItWas) {
  RecordPages pages(kOrders, "Orders[A]");
  const PageRequest post{"t=ORD",
                         {{"go", "1"}, {"Title", "Milk"}, {"Qty", "4"}, {"Price", "1.25"},
                          {"Due_y", "2008"}, {"Due_m", "3"}, {"Due_d", "7"},
                          {"Shipped_y", "2008"}, {"Shipped_m", "3"}, {"Shipped_d", "7"},
                          {"Shipped_h", "9"}, {"Shipped_i", "30"}}};
  const std::string before = pages.Rows("Orders");
  const std::string after =
      before + "2|Milk|4|1.25|2008-03-07|2008-03-07 09:30:00|NULL\n";
  // Each run inserts record 2 again, the key the engine hands out next.
  auto restore = [&] { pages.db().Run("delete from Orders where Id = 2;"); };
  ExpectEveryFailedCallLeavesTheTable(
      pages, [&] { return pages.Add(post); }, RedirectTo("2") + kEnd, before, after, restore);
}

}  // namespace
}  // namespace tabrix
