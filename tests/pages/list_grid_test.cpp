// The grid of the list page and the bars around it: which rows a page shows,
// the page links, the page-size selector, which fields become columns, and
// the sort links in the head.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "pages/list_page_fixture.h"
#include "support/process_limits_scope.h"

namespace tabrix {
namespace {

using testing::Cut;
using testing::ListPage;
using testing::NumberedOrders;

// The record ids the grid links from its first column, in order.
std::vector<std::string> RowIds(const std::string& out) {
  std::vector<std::string> ids;
  static const std::regex kRowHead("id=\"r1\"><A href=\"Info\\.asp\\?t=ORD&id=([^\"]*)\"");
  for (std::sregex_iterator it(out.begin(), out.end(), kRowHead), end; it != end; ++it)
    ids.push_back((*it)[1]);
  return ids;
}

std::vector<std::string> Range(int from, int to) {
  std::vector<std::string> out;
  for (int i = from; i <= to; ++i) out.push_back(std::to_string(i));
  return out;
}

// Page numbers from..to as the bar shows them, the current one as "[k]".
std::vector<std::string> Pages(int from, int to, int current) {
  std::vector<std::string> out = Range(from, to);
  for (std::string& k : out)
    if (k == std::to_string(current)) k = "[" + k + "]";
  return out;
}

// The page numbers of the paging bar, the current one as "[k]".
std::vector<std::string> BarNumbers(const std::string& bar) {
  static const std::regex kNumber(
      "<font size=\"3\"><b>(\\d+)</b></font>|class=\"linknone\">(\\d+)</A>");
  std::vector<std::string> numbers;
  for (std::sregex_iterator it(bar.begin(), bar.end(), kNumber), end; it != end; ++it)
    numbers.push_back((*it)[1].matched ? "[" + std::string((*it)[1]) + "]" : (*it)[2]);
  return numbers;
}

TEST(ListGrid, ThirdPageOf120ShowsRecords101To120AndNoNextLink) {
  ListPage page(NumberedOrders(120));
  std::string out = page.Run("go=1&hf=1&o=Id&o2=Asc&p=3");
  EXPECT_EQ(RowIds(out), Range(101, 120));
  EXPECT_NE(out.find("<input id=\"check20\" type=\"checkbox\" name=\"id20\" value=\"120|120\">"),
            std::string::npos);
  EXPECT_EQ(out.find("check21"), std::string::npos);
  EXPECT_NE(out.find("for(i=1;i<=20;i++)"), std::string::npos);
  EXPECT_EQ(Cut(out, "Page ", "</td>"),
            "Page <A href=\"#\" onclick=\"form1.p.value='2';form1.submit();\" class=\"linknone\">"
            "<img src=\"images/ico_back.gif\" border=\"0\" align=\"absmiddle\"></a>&nbsp;&nbsp;"
            "<A href=\"#\" onclick=\"form1.p.value='1';form1.submit();\" class=\"linknone\">1</A>"
            "&nbsp;&nbsp;<font size=\"1\">|</font>&nbsp;&nbsp;"
            "<A href=\"#\" onclick=\"form1.p.value='2';form1.submit();\" class=\"linknone\">2</A>"
            "&nbsp;&nbsp;<font size=\"1\">|</font>&nbsp;&nbsp;"
            "<font size=\"3\"><b>3</b></font>"
            "<input type=\"hidden\" name=\"p\" value=\"3\">of <b>3</b></td>");
}

TEST(ListGrid, PagingBarShowsUpToElevenPagesAroundTheCurrentOne) {
  struct Case {
    int records;
    const char* query;
    std::vector<std::string> numbers;  // page numbers shown, in order
    const char* current;               // the hidden "p"
    bool back, next;
    const char* pages;
  };
  const Case cases[] = {
      {1000, "c=10&p=50", Pages(45, 55, 50), "50", true, true, "100"},
      {1000, "c=10&p=1", Pages(1, 6, 1), "1", false, true, "100"},
      {1000, "c=10&p=98", Pages(93, 100, 98), "98", true, true, "100"},
      {120, "p=9", Pages(1, 3, 3), "3", true, false, "3"},  // lowered to the last page
      {5, "c=2", Pages(1, 3, 1), "1", false, true, "3"},    // a part page counts
      {0, "p=4", {}, "0", false, false, "0"},
  };
  static const std::regex kNumber(
      "<font size=\"3\"><b>(\\d+)</b></font>|class=\"linknone\">(\\d+)</A>");
  for (const Case& c : cases) {
    ListPage page(NumberedOrders(c.records));
    std::string bar = Cut(page.Run(std::string("go=1&hf=1&") + c.query), "Page ", "</td>");
    std::vector<std::string> numbers;
    for (std::sregex_iterator it(bar.begin(), bar.end(), kNumber), end; it != end; ++it)
      numbers.push_back((*it)[1].matched ? "[" + std::string((*it)[1]) + "]" : (*it)[2]);
    EXPECT_EQ(numbers, c.numbers) << c.records << " " << c.query;
    EXPECT_NE(bar.find(std::string("name=\"p\" value=\"") + c.current + "\">of <b>" + c.pages +
                       "</b></td>"),
              std::string::npos)
        << bar;
    EXPECT_EQ(bar.find("ico_back.gif") != std::string::npos, c.back) << c.query;
    EXPECT_EQ(bar.find("ico_next.gif") != std::string::npos, c.next) << c.query;
  }
}

TEST(ListGrid, PageAndPageSizeOfAnyMagnitudeGiveAtMostElevenLinks) {
  // A double counter stops moving past 2^53; the bar counts in whole pages.
  struct Case {
    int records;
    const char* query;
    std::vector<std::string> rows;     // record ids shown
    std::vector<std::string> numbers;  // page numbers shown
    const char* current;
    const char* pages;
  };
  const Case cases[] = {
      {1, "p=9007199254740994&c=1e-16", {"1"}, {"[1]"}, "1", "1"},
      {1, "p=1e300&c=1e300", {"1"}, {"[1]"}, "1", "1"},
      {30, "p=9007199254740994&c=1e-16", {"30"}, Pages(25, 30, 30), "30", "30"},
      {10, "p=3.7&c=2.5", {"5", "6"}, Pages(1, 5, 3), "3", "5"},  // whole pages of 2
  };
  for (const Case& c : cases) {
    ListPage page(NumberedOrders(c.records));
    std::string out = page.Run(std::string("go=1&hf=1&o=Id&o2=Asc&") + c.query);
    EXPECT_EQ(RowIds(out), c.rows) << c.records << " " << c.query;
    std::string bar = Cut(out, "Page ", "</td>");
    EXPECT_EQ(BarNumbers(bar), c.numbers) << c.records << " " << c.query;
    EXPECT_NE(bar.find(std::string("name=\"p\" value=\"") + c.current + "\">of <b>" + c.pages +
                       "</b></td>"),
              std::string::npos)
        << bar;
  }
}

TEST(ListGrid, APageSizeIsAWholeNumberUpToTheProcessLimit) {
  struct Case {
    int records;
    std::int64_t max_page_size;
    const char* query;
    size_t rows;
    const char* pages;
  };
  const Case cases[] = {
      {1005, 1000, "c=1000000", 1000, "2"},  // the default limit
      {1005, 1000, "c=1e300", 1000, "2"},
      {7, 3, "c=1000000", 3, "3"},
      {7, 3, "c=3", 3, "3"},
      {7, 3, "c=2", 2, "4"},
      {7, 3, "c=2.9", 2, "4"},
      {7, 3, "c=0.5", 1, "7"},  // a fraction of one record is one
      {7, 3, "c=1e-16", 1, "7"},
  };
  for (const Case& c : cases) {
    testing::ProcessLimitsScope scope(ProcessLimits{.max_page_size = c.max_page_size});
    ListPage page(NumberedOrders(c.records));
    std::string out = page.Run(std::string("go=1&hf=1&o=Id&o2=Asc&") + c.query);
    EXPECT_EQ(RowIds(out), Range(1, static_cast<int>(c.rows))) << c.query;
    EXPECT_NE(out.find(std::string("value=\"1\">of <b>") + c.pages + "</b></td>"),
              std::string::npos)
        << c.query;
  }
}

TEST(ListGrid, APageBelowOneIsTheFirst) {
  for (const char* p : {"0", "-3", "0.5", "-1e300"}) {
    ListPage page(NumberedOrders(120));
    std::string out = page.Run(std::string("go=1&hf=1&o=Id&o2=Asc&p=") + p);
    EXPECT_EQ(RowIds(out), Range(1, 50)) << p;
    std::string bar = Cut(out, "Page ", "</td>");
    EXPECT_EQ(BarNumbers(bar), Pages(1, 3, 1)) << p;
    EXPECT_EQ(bar.find("ico_back.gif"), std::string::npos) << p;
    EXPECT_NE(bar.find("name=\"p\" value=\"1\">of <b>3</b></td>"), std::string::npos) << p;
  }
}

TEST(ListGrid, NoRecordsGiveAnEmptyGridAndPageZero) {
  ListPage page(NumberedOrders(0));
  page.Set("set_action1", Variant("Delete,V,ALL"));
  std::string out = page.Run("go=1&hf=1");
  EXPECT_NE(out.find("Total : <b>0</b></font></td>"), std::string::npos);
  EXPECT_NE(out.find("<td colspan=\"2\">0 records</td>"), std::string::npos);
  EXPECT_NE(out.find("   <tbody></table></div>"), std::string::npos);
  EXPECT_NE(out.find("Page <input type=\"hidden\" name=\"p\" value=\"0\">of <b>0</b></td>"),
            std::string::npos);
  EXPECT_NE(out.find("for(i=1;i<=0;i++)"), std::string::npos);
  EXPECT_NE(out.find("<option value=\"1\">Delete</option>"), std::string::npos);
}

TEST(ListGrid, PageSizeSelectorMarksTheCurrentSize) {
  struct Case {
    const char* pagers;
    const char* query;
    const char* options;
  };
  const Case cases[] = {
      {"10,20,50", "c=20",
       "<option value=\"10\">10</option><option value=\"20\" selected>20</option>"
       "<option value=\"50\">50</option>"},
      {"10,20,50", "",  // 50 unless asked
       "<option value=\"10\">10</option><option value=\"20\">20</option>"
       "<option value=\"50\" selected>50</option>"},
      {"5,020", "c=20.0",
       "<option value=\"5\">5</option><option value=\"020\" selected>020</option>"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    ListPage page(NumberedOrders(3));
    if (*c.pagers != '\0') page.Set("set_pagers", Variant(c.pagers));
    std::string out = page.Run(std::string("go=1&hf=1&") + c.query);
    EXPECT_NE(out.find(std::string("class=\"buton\">") + c.options + "    </select></td>"),
              std::string::npos)
        << c.pagers << " " << c.query;
  }
}

TEST(ListGrid, ColumnsAreViewableListedFieldsInTableOrder) {
  struct Case {
    const char* list;        // "set_Orders_list"
    const char* cant_field;  // the user's field deny-list
    std::vector<std::string> captions;
  };
  const Case cases[] = {
      {"", "", {"Id", "Name", "City", "Price"}},
      {"city,NAME", "", {"Name", "City"}},                // any case, any order
      {"CustomerName,City", "", {"City"}},                // names match whole
      {"", "Orders.City[V],Orders.Price[U]", {"Id", "Name", "Price"}},
  };
  static const std::regex kHead("<th scope=\"col\">([^<]+) <A href");
  for (const Case& c : cases) {
    ListPage page(R"sql(
      create table Orders (Id integer primary key, Name text, City text, Price real);
      insert into Orders values (1, 'Ann', 'Berlin', 2.5);
    )sql");
    page.Set("set_Orders_list", Variant(c.list));
    page.Set("set_user1_CantField", Variant(c.cant_field));
    std::string out = page.Run("go=1&hf=1");
    std::vector<std::string> captions;
    for (std::sregex_iterator it(out.begin(), out.end(), kHead), end; it != end; ++it)
      captions.push_back((*it)[1]);
    EXPECT_EQ(captions, c.captions) << c.list << " / " << c.cant_field;
    // One cell per head cell in the row, plus the selection box; the span
    // counts every field of the table.
    std::string row = Cut(out, "<tr >", "</tr>");
    EXPECT_EQ(testing::Occurrences(row, "</td>"), c.captions.size() + 1) << row;
    EXPECT_NE(out.find("<td colspan=\"4\">1 records</td>"), std::string::npos);
  }
}

TEST(ListGrid, NumericColumnsShowEveryDigitTheyHold) {
  ListPage page(R"sql(
    create table Orders (Id integer primary key, Amount numeric, Price decimal(10,2));
    insert into Orders values (1, 12345678901234567, 1.98), (2, -12345678901234567, 0.1);
  )sql");
  std::string out = page.Run("go=1&hf=1&o=Id&o2=Asc");
  const char* cells[] = {
      "<p align='right'>12345678901234567</p></a></td><td><p align='right'>1.98</p></a></td>",
      "<p align='right'><font color='red'>-12345678901234567</font></p></a></td>"
      "<td><p align='right'>0.1</p></a></td>",
  };
  for (const char* cell : cells) EXPECT_NE(out.find(cell), std::string::npos) << cell;
}

TEST(ListGrid, WithoutItsFirstFieldARowHasNoRowHeadButTheSecondFieldStillLinks) {
  ListPage page(R"sql(
    create table Orders (Id integer primary key, Name text, City text);
    insert into Orders values (7, 'Ann', 'Berlin');
  )sql");
  page.Set("set_Orders_list", Variant("Name,City"));
  std::string out = page.Run("go=1&hf=1");
  EXPECT_EQ(Cut(out, "<tr >", "</tr>"),
            "<tr ><td><A href=\"Info.asp?t=ORD&id=7\">Ann</a></td><td>Berlin</a></td>"
            "<td><input id=\"check1\" type=\"checkbox\" name=\"id1\" value=\"7|7\"></td></tr>");
}

TEST(ListGrid, OnlyTheSortedColumnsLinkReversesTheOrder) {
  ListPage page(R"sql(
    create table Orders (A integer primary key, B text, C text, D text, E text);
    insert into Orders values (1, 'b', 'c', 'd', 'e');
  )sql");
  std::string out = page.Run("go=1&hf=1&o=C&o2=Desc");
  static const std::regex kLink("form1\\.o\\.value='(\\w)';form1\\.o2\\.value='(\\w+)'");
  std::vector<std::string> links;
  for (std::sregex_iterator it(out.begin(), out.end(), kLink), end; it != end; ++it)
    links.push_back(std::string((*it)[1]) + "=" + std::string((*it)[2]));
  EXPECT_EQ(links, (std::vector<std::string>{"A=Desc", "B=Desc", "C=Asc", "D=Desc", "E=Desc"}));
  EXPECT_NE(out.find("<input type=\"hidden\" name=\"o2\" value=\"Desc\">"), std::string::npos);
}

// One object showing the list twice: settings changed between the two
// pages show on the second, and a malformed relation entry raises there.
TEST(ListGrid, SettingsChangedBetweenTwoPagesOfOneObjectShowOnTheSecond) {
  ListPage page(R"sql(
    create table Orders (Id integer primary key, Status integer, Note text);
    insert into Orders values (1, 1, 'first note'), (2, 2, 'second note');
  )sql");
  const std::string query = "go=1&hf=1&o=Id&o2=Asc";
  page.Set("set_select1", Variant("Orders.Status,1,Open,2,Closed"));
  std::string first = page.Run(query);
  EXPECT_NE(first.find(">Open</a></td>"), std::string::npos) << first;
  EXPECT_NE(first.find(">first note</a></td>"), std::string::npos) << first;

  page.Set("set_select1", Variant("Orders.Status,1,New,2,Done"));
  page.Set("set_user1_CantField", Variant("Orders.Note[V]"));
  std::string second = page.Run(query);
  EXPECT_NE(second.find(">New</a></td>"), std::string::npos) << second;
  EXPECT_NE(second.find(">Done</a></td>"), std::string::npos) << second;
  EXPECT_EQ(second.find("Open"), std::string::npos) << second;
  EXPECT_EQ(second.find("first note"), std::string::npos) << second;

  page.Set("set_relation1", Variant("Orders.Status"));
  EXPECT_EQ(page.ErrorOf(query), kErrSubscript);
}

}  // namespace
}  // namespace tabrix
