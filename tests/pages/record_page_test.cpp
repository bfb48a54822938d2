// The record page: the exact page of one record, who may see it and its
// update link, the action links and their separators, a record that is not
// there, fields withheld from view, encoding of request and row values, the
// configured links with and without the menu's table codes, malformed link
// settings, and names that need brackets in SQL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "pages/list_page_fixture.h"
#include "support/component_harness.h"
#include "support/error_number.h"
#include "support/test_database.h"

namespace tabrix {
namespace {

using testing::ErrorNumberOf;
using testing::kPageEnd;

constexpr const char* kOrders = R"sql(
  create table Orders (Id integer primary key, CustomerId integer, City text, Note text);
  insert into Orders values (7, 42, 'Bonn', 'Rush & wrap');
)sql";

constexpr const char* kHeadingOpen =
    "<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\"><caption>";
constexpr const char* kValueCell =
    "<td valign=\"top\" width=\"300\" bgcolor=\"#ffffff\" style=\"padding:10px 10px 10px 10px;\">";
constexpr const char* kBackLink =
    "<A href=\"#\" onclick=\"history.back()\"><img src='images/butback.gif' border='0'></a>"
    "&nbsp;<br>";
constexpr const char* kTableEnd = "</thead></table>&nbsp;<br>";

// A record page over a database of the engine under test, for user 1 with
// `table_permissions`, the table code of Orders, and the request of
// "/Info.asp?t=ORD&id=...".
class RecordPage {
 public:
  explicit RecordPage(const std::string& schema, const char* table_permissions = "Orders[VU]")
      : db_(schema) {
    h_.Set("set_dns", Variant(db_.connection_string()));
    h_.Set("UserId", Variant(1));
    h_.Set("set_user1_CanTable", Variant(table_permissions));
    h_.Set("code_Orders", Variant("ORD"));
    h_.request().SetServerVariable("SCRIPT_NAME", "/Info.asp");
  }

  testing::ComponentHarness& h() { return h_; }
  void Set(const std::string& key, Variant value) { h_.Set(key, std::move(value)); }

  // What the menu leaves on the object and in the session: `names` in menu
  // order, each with its code.
  void SetMenuTables(const std::vector<std::pair<std::string, std::string>>& names) {
    long n = 0;
    for (const auto& [name, code] : names) {
      Set("table" + std::to_string(++n), Variant(name));
      Set("code_" + name, Variant(code));
    }
    h_.object().TableCount = Variant(n);
  }

  // Info(table, id) with the query string `query`; what it wrote.
  std::string Run(const Variant& id, const char* table = "Orders",
                  const std::string& query = "t=ORD&id=7") {
    h_.request().SetServerVariable("QUERY_STRING", query);
    h_.object().Info(Variant(table), id);
    return h_.TakeOutput();
  }

  // The error number Info raises (0 when none); the output stays in output().
  long ErrorOf(const Variant& id, const char* table = "Orders") {
    long number = ErrorNumberOf([&] { h_.object().Info(Variant(table), id); });
    output_ = h_.TakeOutput();
    return number;
  }
  const std::string& output() const { return output_; }

  // The SQL texts that select the record (the ones with a WHERE).
  std::vector<std::string> RecordQueries() const {
    std::vector<std::string> out;
    for (const std::string& sql : h_.sql())
      if (sql.find(" WHERE ") != std::string::npos) out.push_back(sql);
    return out;
  }

 private:
  testing::TestDatabase db_;
  testing::ComponentHarness h_;
  std::string output_;
};

// The links between the record table and the configured links.
std::string RecordLinks(const std::string& page) {
  size_t from = page.find(kTableEnd);
  if (from == std::string::npos) return "<no record table>";
  from += std::string(kTableEnd).size();
  return page.substr(from, page.find("<br><br>", from) - from);
}

// The configured links: after the links' "<br><br>", before the one that
// precedes the back button.
std::string ConfiguredLinks(const std::string& page) {
  size_t first = page.find("<br><br>");
  size_t last = page.rfind(std::string("<br><br>") + kBackLink);
  if (first == std::string::npos || last == std::string::npos || last < first + 8)
    return "<no links>";
  return page.substr(first + 8, last - first - 8);
}

TEST(RecordPage, WritesTheWholePageOfARecord) {
  RecordPage page(kOrders);
  page.Set("set_action1", Variant("Delete,V,Orders"));
  page.Set("set_action2", Variant("Archive,V,ALL"));
  page.Set("set_link1",
           Variant("Orders,<b>Customer</b>,Search.asp?t={Customers}&go=1&q=[CustomerId]"
                   "&c=[City]&n=[NOTE]"));
  page.SetMenuTables({{"Customers", "CUS"}, {"Orders", "ORD"}});
  std::string out = page.Run(Variant("7"));

  const std::string expected =
      std::string(kHeadingOpen) +
      "<font size='1'>Orders</font><br>&nbsp;<b>7</caption></table>"
      "&nbsp;<table><thead>"
      "<tr><th width=\"130\">Id</th>" + kValueCell + "<p align='right'>7</p></td></tr>"
      "<tr><th width=\"130\">Customerid</th>" + kValueCell + "<p align='right'>42</p></td></tr>"
      "<tr><th width=\"130\">City</th>" + kValueCell + "Bonn</td></tr>"
      "<tr><th width=\"130\">Note</th>" + kValueCell + "Rush &amp; wrap</td></tr>"
      "</thead></table>&nbsp;<br>"
      "<img src=\"images/ico_guncelle.gif\" border=\"0\" align=\"absmiddle\" hspace=\"3\">"
      "<A href=\"Update.asp?t=ORD&id=7\">Update</a>"
      "&nbsp;&nbsp;|&nbsp;&nbsp;<img src='images/ico_sil.gif' border='0' align='absmiddle'>"
      "<A href=\"Action.asp?t=ORD&c=1&id1=7|7&a=1\">Delete</a>"
      "&nbsp;&nbsp;|&nbsp;&nbsp;<A href=\"Action.asp?t=ORD&c=1&id1=7|7&a=2\">Archive</a>"
      "<br><br>"
      // Every replacement lower-cases the whole URL first, so only the value
      // the last step put in keeps its case.
      "<A href=\"search.asp?t=cus&go=1&q=42&c=bonn&n=Rush+%26+wrap\">&lt;b&gt;Customer&lt;/b&gt;</a><br>"
      "<br><br>" +
      kBackLink + kPageEnd;
  EXPECT_EQ(out, expected);
  EXPECT_EQ(page.RecordQueries(),
            std::vector<std::string>{
                "select [Id],[CustomerId],[City],[Note] from [Orders] WHERE Id=7"});
  EXPECT_EQ(page.h().session().Value("lastpage").string(), "/Info.asp?t=ORD&id=7");
  EXPECT_EQ(page.h().session().Value("lastinfo").string(), "/Info.asp?t=ORD&id=7");
  EXPECT_EQ(page.h().object().PageCaption.string(),
            "<font size='1'>Orders</font><br>&nbsp;<b>7");
}

TEST(RecordPage, OffersUpdateAndActionLinksByPermissionWithBarsOnlyBetweenThem) {
  const std::string update =
      "<img src=\"images/ico_guncelle.gif\" border=\"0\" align=\"absmiddle\" hspace=\"3\">"
      "<A href=\"Update.asp?t=ORD&id=7\">Update</a>";
  const std::string bar = "&nbsp;&nbsp;|&nbsp;&nbsp;";
  const std::string icon = "<img src='images/ico_sil.gif' border='0' align='absmiddle'>";
  auto action = [](int n, const char* name) {
    return "<A href=\"Action.asp?t=ORD&c=1&id1=7|7&a=" + std::to_string(n) + "\">" + name +
           "</a>";
  };
  struct Case {
    const char* id;
    const char* permissions;
    std::vector<const char*> actions;  // set_action1, 2, ...; nullptr leaves a gap
    std::string links;
  };
  const Case cases[] = {
      {"update only", "Orders[VU]", {}, update},
      {"view only, no action", "Orders[V]", {}, ""},
      {"no update: the first action has no bar", "Orders[V]", {"Delete,V,Orders"},
       icon + action(1, "Delete")},
      {"only action 1 has the icon", "Orders[VU]", {"Delete,V,Orders", "Mail,V,ALL"},
       update + bar + icon + action(1, "Delete") + bar + action(2, "Mail")},
      {"action 1 not held: action 2 alone, no icon", "Orders[V]",
       {"Delete,D,Orders", "Mail,V,ALL"}, action(2, "Mail")},
      {"action for another table", "Orders[V]", {"Purge,V,Customers", "Mail,V,ALL"},
       action(2, "Mail")},
      {"a gap ends the actions", "Orders[V]", {"Delete,V,Orders", nullptr, "Mail,V,ALL"},
       icon + action(1, "Delete")},
  };
  for (const Case& c : cases) {
    RecordPage page(kOrders, c.permissions);
    for (size_t n = 0; n < c.actions.size(); ++n)
      if (c.actions[n] != nullptr)
        page.Set("set_action" + std::to_string(n + 1), Variant(c.actions[n]));
    std::string out = page.Run(Variant(7));
    EXPECT_EQ(RecordLinks(out), c.links) << c.id;
  }
}

TEST(RecordPage, AUserWithoutViewPermissionGetsAccessDenyAlone) {
  struct Case {
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"set_user1_CanTable", "Orders[AU]"},
      {"set_user1_CantTable", "Orders[V]"},
      {"set_user1_CanTable", "Customers[V]"},
  };
  for (const Case& c : cases) {
    RecordPage page(kOrders, "");
    page.Set(c.key, Variant(c.value));
    EXPECT_EQ(page.Run(Variant(7)), "Access deny!") << c.value;
    EXPECT_TRUE(page.RecordQueries().empty()) << c.value;
    EXPECT_FALSE(page.h().session().Contains("lastpage")) << c.value;
    EXPECT_FALSE(page.h().session().Contains("lastinfo")) << c.value;
  }
}

TEST(RecordPage, AMissingRecordLeavesThePageEmptyAndKeepsItsAddress) {
  for (const Variant& id : {Variant(8), Variant("-1"), Variant("")}) {
    RecordPage page(kOrders);
    page.Set("set_action1", Variant("Delete,V,Orders"));
    page.Set("set_link1", Variant("Orders,x,y"));
    page.Set("lastpage", Variant("/Search.asp?t=ORD"));
    EXPECT_EQ(page.Run(id, "Orders", "t=ORD&id=8"), kPageEnd) << ConcatText(id);
    EXPECT_EQ(page.h().session().Value("lastpage").string(), "/Info.asp?t=ORD&id=8");
    EXPECT_EQ(page.h().session().Value("lastinfo").string(), "/Info.asp?t=ORD&id=8");
  }
}

TEST(RecordPage, ATextKeyShapedLikeADateShowsItsOwnRecord) {
  RecordPage page(R"sql(
    create table Lots (Code varchar(20) primary key, Name varchar(20));
    insert into Lots values ('1-2-3', 'key'), ('0001-02-03', 'day');
  )sql", "Lots[V]");
  std::string out = page.Run(Variant("1-2-3"), "Lots", "t=LOT&id=1-2-3");
  EXPECT_NE(out.find("key"), std::string::npos) << out;
  EXPECT_EQ(out.find("day"), std::string::npos) << out;
  EXPECT_EQ(page.RecordQueries().back(), "select [Code],[Name] from [Lots] WHERE Code='1-2-3'");
}

TEST(RecordPage, FieldsWithheldFromViewAreLeftOutAndTheirPlaceholdersEmpty) {
  struct Case {
    const char* cant_field;
    bool city_shown;
    const char* url;
  };
  const Case cases[] = {
      {"", true, "q=42&c=bonn&n=Rush+%26+wrap"},
      {"Orders.City[V]", false, "q=42&c=&n=Rush+%26+wrap"},
      {"orders.city[v]", false, "q=42&c=&n=Rush+%26+wrap"},  // names and letter ignore case
      {"Orders.Note[AV],Orders.City[U]", true, "q=42&c=bonn&n="},
      {"Customers.City[V]", true, "q=42&c=bonn&n=Rush+%26+wrap"},
  };
  for (const Case& c : cases) {
    RecordPage page(kOrders);
    page.Set("set_user1_CantField", Variant(c.cant_field));
    page.Set("set_link1", Variant("Orders,L,q=[CustomerId]&c=[City]&n=[Note]"));
    std::string out = page.Run(Variant(7));
    EXPECT_EQ(out.find("<th width=\"130\">City</th>") != std::string::npos, c.city_shown)
        << c.cant_field;
    EXPECT_EQ(out.find("Bonn") != std::string::npos, c.city_shown) << c.cant_field;
    EXPECT_EQ(ConfiguredLinks(out), std::string("<A href=\"") + c.url + "\">L</a><br>")
        << c.cant_field;
  }
}

TEST(RecordPage, EncodesTheRecordIdTitleAndValuesForTheirPlace) {
  RecordPage page(R"sql(
    create table Orders (Code text primary key, Body text, Tail text);
    insert into Orders values ('a&b "c" <d>', 'x & <y>', 'T');
  )sql");
  page.Set("set_action1", Variant("Delete,V,Orders"));
  page.Set("set_link1", Variant("Orders,L,Go.asp?code=[Code]&body=[Body]&t=[Tail]"));
  std::string out = page.Run(Variant("a&b \"c\" <d>"));

  EXPECT_NE(out.find("<b>a&amp;b &quot;c&quot; &lt;d&gt;</caption>"), std::string::npos) << out;
  EXPECT_NE(out.find(std::string(kValueCell) + "a&amp;b &quot;c&quot; &lt;d&gt;</td>"),
            std::string::npos);
  EXPECT_EQ(RecordLinks(out),
            "<img src=\"images/ico_guncelle.gif\" border=\"0\" align=\"absmiddle\" hspace=\"3\">"
            "<A href=\"Update.asp?t=ORD&id=a%26b+%22c%22+%3Cd%3E\">Update</a>"
            "&nbsp;&nbsp;|&nbsp;&nbsp;<img src='images/ico_sil.gif' border='0' "
            "align='absmiddle'><A href=\"Action.asp?t=ORD&c=1&id1=a%26b+%22c%22+%3Cd%3E|"
            "a%26b+%22c%22+%3Cd%3E&a=1\">Delete</a>");
  // Values are encoded as they go in; later steps lower-case their hex.
  EXPECT_EQ(ConfiguredLinks(out),
            "<A href=\"go.asp?code=a%26b+%22c%22+%3cd%3e&body=x+%26+%3cy%3e&t=T\">L</a><br>");
  EXPECT_EQ(out.find("<d>"), std::string::npos);
  EXPECT_EQ(out.find("<y>"), std::string::npos);
}

TEST(RecordPage, LinksCarryTheIdAsReceivedAndTheTitleAsStored) {
  // The request's id finds the row through the key's type; the links keep
  // the id as it came, the action link adds the row's own title.
  RecordPage page(kOrders, "Orders[VU]");
  page.Set("set_action1", Variant("Delete,V,Orders"));
  std::string out = page.Run(Variant(" 7 "));
  EXPECT_NE(out.find("<A href=\"Update.asp?t=ORD&id=+7+\">"), std::string::npos) << out;
  EXPECT_NE(out.find("<A href=\"Action.asp?t=ORD&c=1&id1=+7+|7&a=1\">"), std::string::npos);
  EXPECT_EQ(page.RecordQueries(),
            std::vector<std::string>{
                "select [Id],[CustomerId],[City],[Note] from [Orders] WHERE Id=7"});
}

TEST(RecordPage, ConfiguredLinkTakesTheMenusTableCodesOnlyAfterTheMenuRan) {
  const char* schema = R"sql(
    create table Customers (CustomerId integer primary key, Name text);
    create table Orders (Id integer primary key, CustomerId integer, City text, Note text);
    insert into Orders values (7, 42, 'Bonn', 'Rush & wrap');
  )sql";
  const char* link = "Orders,Customer,Search.asp?t={Customers}&go=1&q=[CustomerId]";
  {
    RecordPage page(schema);
    page.Set("set_link1", Variant(link));
    page.Set("set_encryptkey", Variant("key"));
    page.h().object().DatabaseMenu();
    page.h().TakeOutput();
    ASSERT_EQ(page.h().session().Value("code_Customers").string(), "YKUMHRFIU");
    EXPECT_EQ(ConfiguredLinks(page.Run(Variant(7))),
              "<A href=\"search.asp?t=ykumhrfiu&go=1&q=42\">Customer</a><br>");
  }
  {
    // Without the menu on this object the codes in the session do not count.
    RecordPage page(schema);
    page.Set("set_link1", Variant(link));
    page.Set("table1", Variant("Customers"));
    page.Set("code_Customers", Variant("CUS"));
    EXPECT_EQ(ConfiguredLinks(page.Run(Variant(7))),
              "<A href=\"search.asp?t={customers}&go=1&q=42\">Customer</a><br>");
  }
}

TEST(RecordPage, LinkSettingsOfOtherTablesAreSkippedAndShortOnesOfThisTableRaise) {
  struct Case {
    std::vector<const char*> links;  // set_link1, 2, ...
    long error;
    std::string links_written;
  };
  const Case cases[] = {
      {{"Customers", "Orders,Go,go.asp"}, 0, "<A href=\"go.asp\">Go</a><br>"},
      {{"Customers,only text", "ORDERS,Go,GO.asp,ignored"}, 0, "<A href=\"go.asp\">Go</a><br>"},
      {{"Orders,Go,go.asp", "Orders,Text only"}, kErrSubscript, "<A href=\"go.asp\">Go</a><br>"},
      {{"orders"}, kErrSubscript, ""},
      {{""}, kErrSubscript, ""},
  };
  for (const Case& c : cases) {
    RecordPage page(kOrders);
    for (size_t n = 0; n < c.links.size(); ++n)
      page.Set("set_link" + std::to_string(n + 1), Variant(c.links[n]));
    long error = page.ErrorOf(Variant(7));
    EXPECT_EQ(error, c.error) << c.links[0];
    const std::string& out = page.output();
    if (c.error == 0) {
      EXPECT_EQ(ConfiguredLinks(out), c.links_written) << c.links[0];
      continue;
    }
    // The page so far stays; it has no end and keeps no address.
    EXPECT_TRUE(out.ends_with("<br><br>" + c.links_written)) << out;
    EXPECT_FALSE(page.h().session().Contains("lastpage"));
    EXPECT_FALSE(page.h().session().Contains("lastinfo"));
  }
}

TEST(RecordPage, BracketsTableAndFieldNamesThatAreNotPlainIdentifiers) {
  RecordPage page(R"sql(
    create table "Order Details" ("Order ID" integer primary key, "Unit Price" numeric(10,2));
    insert into "Order Details" values (3, 9.5);
    insert into "Order Details" values (4, 1);
  )sql", "Order Details[VU]");
  page.Set("code_Order Details", Variant("OD"));
  page.Set("set_link1", Variant("order details,Price,p.asp?id=[Order ID]&p=[unit price]"));
  std::string out = page.Run(Variant(3), "Order Details");
  EXPECT_EQ(page.RecordQueries(),
            std::vector<std::string>{"select [Order ID],[Unit Price] from [Order Details] "
                                     "WHERE [Order ID]=3"});
  EXPECT_NE(out.find("<th width=\"130\">Order id</th>" + std::string(kValueCell) +
                     "<p align='right'>3</p></td>"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("<th width=\"130\">Unit price</th>" + std::string(kValueCell) +
                     "<p align='right'>9.5</p></td>"),
            std::string::npos);
  EXPECT_NE(out.find("<A href=\"Update.asp?t=OD&id=3\">Update</a>"), std::string::npos);
  EXPECT_EQ(ConfiguredLinks(out), "<A href=\"p.asp?id=3&p=9%2E5\">Price</a><br>");
}

class RecordPageLocale : public ::testing::Test {
 protected:
  void TearDown() override { Locale::SetCurrent("en-US"); }
};

TEST_F(RecordPageLocale, ANumericKeyIsComparedInTheInvariantForm) {
  Locale::SetCurrent("de-DE");
  RecordPage page(R"sql(
    create table Rates (Rate real primary key, Name text);
    insert into Rates values (2.5, 'half'), (25, 'whole');
  )sql", "Rates[V]");
  std::string out = page.Run(Variant("2,5"), "Rates");
  EXPECT_EQ(page.RecordQueries(),
            std::vector<std::string>{"select [Rate],[Name] from [Rates] WHERE Rate=2.5"});
  EXPECT_NE(out.find("half"), std::string::npos);
  EXPECT_EQ(out.find("whole"), std::string::npos);
}

}  // namespace
}  // namespace tabrix
