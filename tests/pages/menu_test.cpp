// The navigation menu against a real SQLite schema: the exact HTML of the
// user's line, the group and the links; the site's table filters; the table
// codes recorded in the session for every listed table whether or not the
// user may view it; and a menu handed in by the hosting page.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/html.h"
#include "support/component_harness.h"
#include "support/test_database.h"

namespace tabrix {
namespace {

// Four tables, a view, and the system table that AUTOINCREMENT brings.
constexpr const char* kShopSchema = R"sql(
  CREATE TABLE Orders (id INTEGER PRIMARY KEY AUTOINCREMENT, total REAL);
  CREATE TABLE Customers (id INTEGER PRIMARY KEY, name TEXT);
  CREATE TABLE line_items (id INTEGER PRIMARY KEY, order_id INTEGER);
  CREATE TABLE Orders2 (id INTEGER PRIMARY KEY);
  CREATE VIEW big_orders AS SELECT * FROM Orders WHERE total > 100;
)sql";

// Codes of the names above under the key "s3cret".
constexpr const char* kCustomersCode = "2TIRHNJRI";
constexpr const char* kLineItemsCode = "MMFI9LRKFP";
constexpr const char* kOrdersCode = "8RAIIR";
constexpr const char* kOrders2Code = "8RAIIRR";

// The menu's head; the user's configured name is text, escaped.
std::string Head(const std::string& user_name) {
  return "<td width=\"200\" class=\"none\" valign=\"top\" style=\"padding: 10px 10px 10px "
         "10px;\"><table width=\"200\" class=\"none\" align=\"center\"><font "
         "size=\"1\">&nbsp;&nbsp;" +
         HtmlEscape(user_name) + " [<A href=\"Login.asp?logout=1\">Logout</a>]<br>&nbsp;<br></font>";
}

const std::string kGroup =
    "<table width=\"200\"><thead><tr><th width=\"100%\" style=\"text-align:left;\" "
    "style=\"height:auto;\"> &nbsp;&nbsp;Menu<img src=\"images/ico_grup.gif\" "
    "align=\"absmiddle\" border=\"0\" hspace=\"10\"></a></td></tr></thead></table><div "
    "id=\"menu1\" style=\"display:\" class=\"none\"><table width=\"200\"><thead>";

std::string Link(const std::string& code, const std::string& caption) {
  return "<tr><td width=\"100%\" class=\"none\" style=\"text-align:left; "
         "height:25px;\">&nbsp;<img src=\"images/ico_tablo.gif\" align=\"absmiddle\"> <A "
         "href=\"Search.asp?t=" +
         code + "&go=1\"><b>" + caption + "</b></a><font></u></td></tr>";
}

const std::string kGroupClose = "</table></div>";
const std::string kEnd = "&nbsp;<br></td>";

class MenuTest : public ::testing::Test {
 protected:
  explicit MenuTest(const char* schema = kShopSchema) : db_(schema) {
    h.Set("set_dns", Variant(db_.connection_string()));
    h.Set("set_encryptkey", Variant("s3cret"));
    h.Set("UserId", Variant(3));
    h.Set("set_user3_name", Variant("Ann & Bo"));
  }

  // The table names stored as "table1", "table2", ... up to the first
  // number never stored.
  std::vector<std::string> ListedTables() {
    std::vector<std::string> names;
    for (int n = 1; h.session().Contains("table" + std::to_string(n)); ++n)
      names.push_back(h.session().Value("table" + std::to_string(n)).string());
    return names;
  }

  testing::TestDatabase db_;
  testing::ComponentHarness h;
};

TEST_F(MenuTest, LinksTheTablesTheUserMayViewUnderTheirCaptions) {
  h.Set("set_user3_CanTable", Variant("Customers[V],Orders[VA],line_items[A],Orders2[v]"));
  h.Set("set_replace", Variant("Orders=Sales orders"));
  h.object().DatabaseMenu();

  const std::string expected = Head("Ann & Bo") + kGroup + Link(kCustomersCode, "Customers") +
                               Link(kOrdersCode, "Sales orders") + Link(kOrders2Code, "Orders2") +
                               kGroupClose + kEnd;
  EXPECT_EQ(h.TakeOutput(), expected);
  EXPECT_EQ(h.object().LeftMenuStr.string(), expected);
  ASSERT_EQ(h.object().TableCount.type(), VarType::Long);
  EXPECT_EQ(h.object().TableCount.long_value(), 4);
}

TEST_F(MenuTest, RecordsBothDirectionsOfTheCodeForEveryListedTable) {
  // line_items gets no link but keeps its entries.
  h.Set("set_user3_CanTable", Variant("Customers[V]"));
  h.object().DatabaseMenu();

  EXPECT_EQ(ListedTables(),
            (std::vector<std::string>{"Customers", "line_items", "Orders", "Orders2"}));
  const std::pair<const char*, const char*> codes[] = {{"Customers", kCustomersCode},
                                                       {"line_items", kLineItemsCode},
                                                       {"Orders", kOrdersCode},
                                                       {"Orders2", kOrders2Code}};
  for (const auto& [name, code] : codes) {
    EXPECT_EQ(h.session().Value(std::string("code_") + name).string(), code);
    EXPECT_EQ(h.session().Value(std::string("table_") + code).string(), name);
  }
  EXPECT_FALSE(h.session().Contains("code_big_orders"));
  EXPECT_FALSE(h.session().Contains("code_sqlite_sequence"));
}

TEST_F(MenuTest, AUserWhoMayViewNoTableGetsTheHeadAndNoLink) {
  h.Set("set_user3_CanTable", Variant("Orders[A]"));
  h.object().DatabaseMenu();
  EXPECT_EQ(h.TakeOutput(), Head("Ann & Bo") + kGroup + kEnd);
  EXPECT_EQ(ListedTables().size(), 4u);
}

TEST_F(MenuTest, NobodyLoggedInReadsTheKeysBuiltWithoutANumber) {
  h.session().Remove("UserId");
  h.Set("set_user_name", Variant("Guest"));
  h.Set("set_user_CanTable", Variant("Orders[V]"));
  h.object().DatabaseMenu();
  EXPECT_EQ(h.TakeOutput(),
            Head("Guest") + kGroup + Link(kOrdersCode, "Orders") + kGroupClose + kEnd);
}

TEST_F(MenuTest, AMenuHandedInIsWrittenAsItIsWithoutTouchingAnything) {
  h.Set("set_dns", Variant("Provider=SQLite;Data Source=/nonexistent/none.db"));
  h.object().LeftMenuStr = Variant("<td>kept</td>");
  size_t entries_before = h.session().Entries().size();
  h.object().DatabaseMenu();
  EXPECT_EQ(h.TakeOutput(), "<td>kept</td>");
  EXPECT_EQ(h.session().Entries().size(), entries_before);
  EXPECT_TRUE(h.object().TableCount.IsEmpty());
}

struct FilterCase {
  const char* include_views;
  const char* disabled;
  const char* enabled;
  std::vector<std::string> listed;
};

TEST_F(MenuTest, SiteFiltersChooseTheListedTables) {
  const FilterCase cases[] = {
      {"", "", "", {"Customers", "line_items", "Orders", "Orders2"}},
      {"yes", "", "", {"Customers", "line_items", "Orders", "Orders2", "big_orders"}},
      {"Yes", "", "", {"Customers", "line_items", "Orders", "Orders2"}},
      {"", "Orders,customers", "", {"line_items", "Orders2"}},
      {"", "Orders, Customers", "", {"Customers", "line_items", "Orders2"}},
      {"", "Orders", "Orders", {}},
      {"yes", "", "orders2,BIG_ORDERS", {"Orders2", "big_orders"}},
      {"", "", "sqlite_sequence,Orders", {"Orders"}},  // system tables never
  };
  for (const auto& c : cases) {
    testing::ComponentHarness fresh;
    fresh.Set("set_dns", Variant(db_.connection_string()));
    fresh.Set("set_encryptkey", Variant("s3cret"));
    fresh.Set("set_include_views", Variant(c.include_views));
    fresh.Set("set_disabled_tables", Variant(c.disabled));
    fresh.Set("set_enabled_tables", Variant(c.enabled));
    fresh.object().DatabaseMenu();

    std::vector<std::string> listed;
    for (int n = 1; fresh.session().Contains("table" + std::to_string(n)); ++n)
      listed.push_back(fresh.session().Value("table" + std::to_string(n)).string());
    EXPECT_EQ(listed, c.listed) << "views=" << c.include_views << " disabled=" << c.disabled
                                << " enabled=" << c.enabled;
    EXPECT_EQ(fresh.object().TableCount.long_value(), static_cast<long>(c.listed.size()));
  }
}

TEST_F(MenuTest, ACaptionHoldingTheSeparatorLeavesAnEmptyLink) {
  // Under a deny-list, an empty table name is allowed everything.
  h.Set("set_user3_CantTable", Variant("Customers[V]"));
  h.Set("set_replace", Variant("Orders=Sales : all"));
  h.object().DatabaseMenu();
  EXPECT_EQ(h.TakeOutput(), Head("Ann & Bo") + kGroup + Link(kLineItemsCode, "Line items") +
                                Link("", "") + Link(kOrders2Code, "Orders2") + kGroupClose + kEnd);
  EXPECT_EQ(h.session().Value("code_Orders").string(), kOrdersCode);
}

TEST_F(MenuTest, FailuresKeepTheHeadAndWriteNothing) {
  struct FailureCase {
    const char* what;
    const char* setting;
    Variant value;
  };
  const FailureCase cases[] = {
      {"no key", "set_encryptkey", Variant("")},
      {"no database", "set_dns", Variant("Provider=SQLite;Data Source=/nonexistent/none.db")},
  };
  for (const auto& c : cases) {
    testing::ComponentHarness fresh;
    fresh.Set("set_dns", Variant(db_.connection_string()));
    fresh.Set("set_encryptkey", Variant("s3cret"));
    fresh.Set("UserId", Variant(3));
    fresh.Set("set_user3_name", Variant("Ann"));
    fresh.Set(c.setting, c.value);
    EXPECT_THROW(fresh.object().DatabaseMenu(), ScriptError) << c.what;
    EXPECT_EQ(fresh.TakeOutput(), "") << c.what;
    EXPECT_EQ(fresh.object().LeftMenuStr.string(), Head("Ann")) << c.what;
    EXPECT_FALSE(fresh.session().Contains("table1")) << c.what;
  }
}

class SharedCodeMenuTest : public MenuTest {
 protected:
  // Names whose second letters differ by one share their code ("AI"); "Tac"
  // has the code that "AI" with the first suffix would make ("AIA").
  SharedCodeMenuTest()
      : MenuTest("CREATE TABLE Ta (id INTEGER); CREATE TABLE Tac (id INTEGER);"
                 "CREATE TABLE Tb (id INTEGER);") {}
};

TEST_F(SharedCodeMenuTest, ALaterTableWhoseCodeIsTakenGetsASuffixAndEveryCodeLeadsBack) {
  h.Set("set_user3_CanTable", Variant("Ta[V],Tac[V],Tb[V]"));
  h.object().DatabaseMenu();
  EXPECT_EQ(h.TakeOutput(), Head("Ann & Bo") + kGroup + Link("AI", "Ta") + Link("AIA", "Tac") +
                                Link("AIB", "Tb") + kGroupClose + kEnd);
  const std::pair<const char*, const char*> codes[] = {
      {"Ta", "AI"}, {"Tac", "AIA"}, {"Tb", "AIB"}};
  for (const auto& [name, code] : codes) {
    EXPECT_EQ(h.session().Value(std::string("code_") + name).string(), code);
    EXPECT_EQ(h.session().Value(std::string("table_") + code).string(), name);
  }
}

class ForeignNamesMenuTest : public MenuTest {
 protected:
  // Outside the single-byte code page every letter codes alike, so names of
  // one length share a code.
  ForeignNamesMenuTest()
      : MenuTest(R"sql(
          CREATE TABLE "Заказы" (id INTEGER); CREATE TABLE "Товары" (id INTEGER);
          CREATE TABLE "顧客" (id INTEGER); CREATE TABLE "注文" (id INTEGER);
          CREATE TABLE Orders (id INTEGER);
        )sql") {}
};

TEST_F(ForeignNamesMenuTest, TablesWhoseNamesShareACodeEachGetTheirOwn) {
  h.object().DatabaseMenu();
  std::vector<std::string> names = ListedTables();
  ASSERT_EQ(names.size(), 5u);
  std::set<std::string> codes;
  for (const std::string& name : names) {
    std::string code = h.session().Value("code_" + name).string();
    EXPECT_EQ(code.find_first_not_of("ABCDEFGHIJKLMNOPRSTUVYZ0123456789"), std::string::npos)
        << name;
    EXPECT_EQ(h.session().Value("table_" + code).string(), name);
    codes.insert(code);
  }
  EXPECT_EQ(codes.size(), 5u);
  EXPECT_EQ(h.session().Value("code_Orders").string(), kOrdersCode);  // no clash: as it was
}

}  // namespace
}  // namespace tabrix
