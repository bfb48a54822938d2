// The search side of the list page: the criteria the request's field items
// add to the list query (and the rows they let through on a real database),
// the search panel, and the action bar under the grid.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "host/locale/locale.h"
#include "pages/list_page_fixture.h"
#include "support/error_number.h"
#include "support/test_database.h"

namespace tabrix {
namespace {

using tabrix::testing::ErrorNumberOf;

using testing::Cut;
using testing::ListPage;

constexpr const char* kOrders = R"sql(
  create table Orders (Id integer primary key, Name text, City varchar(20), Price real,
                       OrderDate date, Photo blob);
  insert into Orders values
    (1, 'Ann', 'Berlin', 12.5, '2008-06-04', x'00'),
    (2, 'O''Hara', 'Bonn', 0, '2008-06-05', null),
    (3, 'Cid', 'Köln', 7, '2008-06-28', null),
    (4, 'Dan', 'Bern', 12.5, '2008-06-29', null);
)sql";

constexpr const char* kSelect =
    "select [Id],[Name],[City],[Price],[OrderDate],[Photo] from [Orders] WHERE 1=1";

// The record ids the grid shows, in order.
std::vector<int> ShownIds(const std::string& out) {
  std::vector<int> ids;
  static const std::regex kRowHead("id=\"r1\"><A href=\"Info\\.asp\\?t=ORD&id=(\\d+)\"");
  for (std::sregex_iterator it(out.begin(), out.end(), kRowHead), end; it != end; ++it)
    ids.push_back(std::stoi((*it)[1]));
  return ids;
}

TEST(ListCriteria, EachFieldItemAddsTheConditionOfItsTypeGroup) {
  struct Case {
    const char* items;
    const char* conditions;
    std::vector<int> ids;
  };
  const Case cases[] = {
      {"City=Ber", " AND (City like '%Ber%')", {1, 4}},
      {"City=bER", " AND (City like '%bER%')", {1, 4}},  // like ignores case
      {"Name=O'Hara", " AND (Name like '%O''Hara%')", {2}},
      {"Price=12.5", " AND (Price= 12.5)", {1, 4}},
      {"Price=abc", " AND (Price= 0)", {2}},  // text for a number becomes 0
      {"OrderDate=E&OrderDate1_y=2008&OrderDate1_m=6&OrderDate1_d=5&OrderDate2_y=2008&"
       "OrderDate2_m=06&OrderDate2_d=28",
       " AND (OrderDate between '2008-6-5' and '2008-6-28 23:59:59.998')", {2, 3}},
      // The switch alone, with only a start date: the range ends at 0-0-0.
      {"OrderDate=x&OrderDate1_y=2008&OrderDate1_m=6&OrderDate1_d=5",
       " AND (OrderDate between '2008-6-5' and '0-0-0 23:59:59.998')", {}},
      {"OrderDate1_y=2008&OrderDate1_m=6&OrderDate1_d=5", "", {1, 2, 3, 4}},  // switched off
      {"Photo=x", "", {1, 2, 3, 4}},  // long binary: never a condition
      {"Price=&Name=", "", {1, 2, 3, 4}},
      // Joined with AND in field order, whatever the order of the items.
      {"Price=12.5&City=Ber", " AND (City like '%Ber%') AND (Price= 12.5)", {1, 4}},
  };
  for (const Case& c : cases) {
    ListPage page(kOrders);
    std::string out = page.Run(std::string("go=1&hf=1&o=Id&o2=Asc&") + c.items);
    EXPECT_EQ(page.ListQueries(),
              std::vector<std::string>{std::string(kSelect) + c.conditions + " ORDER BY Id Asc"})
        << c.items;
    EXPECT_EQ(ShownIds(out), c.ids) << c.items;
  }
}

TEST(ListCriteria, AFieldTheUserMayNotViewNeitherNarrowsNorOrdersTheList) {
  // A criterion or a sort on a withheld field would let its values be
  // guessed from which rows come back.
  ListPage page(kOrders);
  page.Set("set_user1_CantField", Variant("Orders.City[V],Orders.Price[V]"));
  std::string out = page.Run("go=1&hf=1&o=City&o2=Asc&City=Ber&Price=12.5&Name=a");
  EXPECT_EQ(page.ListQueries(),
            std::vector<std::string>{
                std::string(kSelect) + " AND (Name like '%a%') ORDER BY 1 Asc"});
  EXPECT_EQ(ShownIds(out), (std::vector<int>{1, 2, 4}));
  EXPECT_NE(out.find("<input type=\"hidden\" name=\"o\" value=\"1\">"), std::string::npos);
}

TEST(ListQuery, NamesThatAreNotPlainIdentifiersStandBracketed) {
  ListPage page(R"sql(
    create table "a]b" (Id integer primary key, "Unit Price" real, "Select" text,
                        "dash--x" varchar(10), Город text);
    insert into "a]b" values (1, 2.5, 'yes', 'p', 'Köln'), (2, 7, 'no', 'q', 'Bonn'),
                             (3, 7, 'yes', 'r', 'Köln');
  )sql",
                "a]b[V]");
  std::string out = page.Run(
      "go=1&hf=1&o=Unit+Price&o2=Asc&Unit+Price=7&Select=y&dash--x=r&%D0%93%D0%BE%D1%80%D0%BE%D0%B4=K",
      "a]b");
  EXPECT_EQ(page.ListQueries(),
            std::vector<std::string>{
                "select [Id],[Unit Price],[Select],[dash--x],[Город] from [a]]b] WHERE 1=1"
                " AND ([Unit Price]= 7) AND ([Select] like '%y%') AND ([dash--x] like '%r%')"
                " AND (Город like '%K%') ORDER BY [Unit Price] Asc"});
  EXPECT_EQ(page.h().sql().size(), 2u);  // the field list and the list query
  EXPECT_NE(out.find("Total : <b>1</b>"), std::string::npos) << out;
}

// Numbers past a double's 15 digits, a fraction a double holds only with
// all its digits, and a boolean stored both as 1 and as -1.
constexpr const char* kLedger = R"sql(
  create table Orders (Id integer primary key, Big bigint, Amount numeric, Done boolean);
  insert into Orders values
    (1, 9007199254740993, 12345678901234567, 1),
    (2, 9007199254740992, 12345678901234568, 0),
    (3, 7, 1234567890123456.75, -1);
)sql";

constexpr const char* kLedgerSelect =
    "select [Id],[Big],[Amount],[Done] from [Orders] WHERE 1=1";

struct CriterionCase {
  const char* items;
  const char* conditions;
  std::vector<int> ids;
};

void ExpectCriteria(const CriterionCase& c) {
  ListPage page(kLedger);
  std::string out = page.Run(std::string("go=1&hf=1&o=Id&o2=Asc&") + c.items);
  EXPECT_EQ(page.ListQueries(), std::vector<std::string>{std::string(kLedgerSelect) +
                                                         c.conditions + " ORDER BY Id Asc"})
      << c.items;
  EXPECT_EQ(ShownIds(out), c.ids) << c.items;
}

TEST(ListCriteria, ANumberReachesTheQueryWithEveryDigitTyped) {
  const CriterionCase cases[] = {
      {"Big=9007199254740993", " AND (Big= 9007199254740993)", {1}},
      {"Big=9,007,199,254,740,992", " AND (Big= 9007199254740992)", {2}},
      {"Big=-9223372036854775808", " AND (Big= -9223372036854775808)", {}},
      {"Amount=12345678901234567", " AND (Amount= 12345678901234567)", {1}},
      {"Amount=1234567890123456.750", " AND (Amount= 1234567890123456.75)", {3}},
      {"Amount=7e0", " AND (Amount= 7)", {}},
      // Past what a Decimal holds the number is the double CheckNum makes.
      {"Amount=1e30", " AND (Amount= 1E+30)", {}},
      {"Amount=abc", " AND (Amount= 0)", {}},
  };
  for (const CriterionCase& c : cases) ExpectCriteria(c);
}

TEST(ListCriteria, ABooleanCriterionSelectsTheTrueOrTheFalseRows) {
  const CriterionCase cases[] = {
      {"Done=True", " AND (Done <> 0)", {1, 3}},
      {"Done=true", " AND (Done <> 0)", {1, 3}},
      {"Done=-1", " AND (Done <> 0)", {1, 3}},
      {"Done=1", " AND (Done <> 0)", {1, 3}},
      {"Done=2", " AND (Done <> 0)", {1, 3}},
      {"Done=False", " AND (Done= 0)", {2}},
      {"Done=0", " AND (Done= 0)", {2}},
      {"Done=yes", " AND (Done <> 0)", {1, 3}},
      {"Done=%20No", " AND (Done= 0)", {2}},
  };
  for (const CriterionCase& c : cases) ExpectCriteria(c);
  // A word that is no yes/no answer is refused, never read as False.
  for (const char* word : {"maybe", "ja", "yes!"}) {
    ListPage page(kLedger);
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { page.Run(std::string("go=1&hf=1&Done=") + word); },
                            &description),
              kErrTypeMismatch)
        << word;
    EXPECT_NE(description.find("no yes/no answer"), std::string::npos) << description;
  }
}

TEST(ListCriteria, ANumberCriterionOnAMoneyColumnFindsItsRows) {
  constexpr const char* kPrices = R"sql(
    create table Orders (Id integer primary key, Price money);
    insert into Orders values (1, 12.5), (2, -3), (3, 0);
  )sql";
  const std::pair<const char*, std::vector<int>> cases[] = {
      {"Price=12.5", {1}}, {"Price=-3", {2}}, {"Price=abc", {3}}, {"Price=7", {}}};
  for (const auto& [items, ids] : cases) {
    ListPage page(kPrices);
    EXPECT_EQ(ShownIds(page.Run(std::string("go=1&hf=1&o=Id&o2=Asc&") + items)), ids) << items;
  }
}

// Each PostgreSQL type the provider maps takes the criterion its field type
// gives it: numbers (money among them) compare, text of any kind (json, an
// address, a time, an interval) is searched with like, booleans and date
// ranges select their rows. Row 1 matches every criterion, row 2 none.
TEST(ListCriteria, EveryPostgresColumnTypeTakesTheCriterionOfItsKind) {
  if (testing::TestEngine() != "postgres") GTEST_SKIP() << "PostgreSQL's own column types";
  constexpr const char* kTypes = R"sql(
    create table Orders (Id integer primary key, Sm int2, Ig int4, Bg int8, F4 float4, F8 float8,
      Nu numeric(10,2), Mo money, Tx text, Vc varchar(10), Ch char(5), Js json, Jb jsonb,
      Ip inet, Tm time, Iv interval, Tag uuid, Flag boolean, Day date, Moment timestamp,
      Zoned timestamptz);
    insert into Orders values
      (1, 2, 3, 4, 1.5, 2.5, 12.5, 12.5, 'tea', 'milk', 'abc', '{"k":"tea"}', '{"k":"tea"}',
       '10.0.0.1', '10:30:00', '1 day', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', true,
       '2008-06-05', '2008-06-05 10:00:00', '2008-06-05 10:00:00+00'),
      (2, 0, 0, 0, 0, 0, 0, 0, 'x', 'x', 'x', '{}', '{}', '192.168.1.1', '23:00:00', '2 hours',
       'b0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', false, '2009-01-01', '2009-01-01 10:00:00',
       '2009-01-01 10:00:00+00');
  )sql";
  const std::pair<const char*, std::vector<int>> cases[] = {
      {"Sm=2", {1}}, {"Ig=3", {1}}, {"Bg=4", {1}}, {"F4=1.5", {1}}, {"F8=2.5", {1}},
      {"Nu=12.5", {1}}, {"Mo=12.5", {1}}, {"Tx=te", {1}}, {"Vc=il", {1}}, {"Ch=ab", {1}},
      {"Js=tea", {1}}, {"Jb=tea", {1}}, {"Ip=10.0", {1}}, {"Tm=10:3", {1}}, {"Iv=day", {1}},
      // A uuid is searched as a number, which no uuid equals.
      {"Tag=5", {}}, {"Flag=True", {1}},
      {"Day=x&Day1_y=2008&Day1_m=6&Day1_d=5&Day2_y=2008&Day2_m=6&Day2_d=5", {1}},
      {"Moment=x&Moment1_y=2008&Moment1_m=6&Moment1_d=5&Moment2_y=2008&Moment2_m=6&Moment2_d=5",
       {1}},
      {"Zoned=x&Zoned1_y=2008&Zoned1_m=6&Zoned1_d=4&Zoned2_y=2008&Zoned2_m=6&Zoned2_d=6", {1}},
  };
  for (const auto& [items, ids] : cases) {
    ListPage page(kTypes);
    EXPECT_EQ(ShownIds(page.Run(std::string("go=1&hf=1&o=Id&o2=Asc&") + items)), ids) << items;
  }
}

class ListCriteriaRegional : public ::testing::Test {
 protected:
  void TearDown() override { Locale::SetCurrent("en-US"); }
};

TEST_F(ListCriteriaRegional, ANumberGoesIntoTheQueryInTheInvariantForm) {
  Locale::SetCurrent("de-DE");
  ListPage page(kOrders);
  std::string out = page.Run("go=1&hf=1&o=Id&o2=Asc&Price=12%2C5");
  ASSERT_EQ(page.ListQueries().size(), 1u);
  EXPECT_NE(page.ListQueries()[0].find(" AND (Price= 12.5) ORDER BY"), std::string::npos)
      << page.ListQueries()[0];
  EXPECT_EQ(ShownIds(out), (std::vector<int>{1, 4}));
}

TEST_F(ListCriteriaRegional, NumbersAndBooleanWordsAreReadInTheLocalesForm) {
  Locale::SetCurrent("de-DE");
  const CriterionCase cases[] = {
      {"Big=9.007.199.254.740.993", " AND (Big= 9007199254740993)", {1}},
      {"Amount=1234567890123456%2C75", " AND (Amount= 1234567890123456.75)", {3}},
      {"Done=Wahr", " AND (Done <> 0)", {1, 3}},
      {"Done=falsch", " AND (Done= 0)", {2}},
      {"Done=True", " AND (Done <> 0)", {1, 3}},
  };
  for (const CriterionCase& c : cases) ExpectCriteria(c);
}

TEST(ListSearchPanel, OffersListedViewableFieldsWithTheirControls) {
  ListPage page(R"sql(
    create table Orders (Id integer primary key, Name text, City text);
  )sql");
  page.Set("set_Orders_search", Variant("city,NAME"));
  std::string out = page.Run("t=ORD&City=Ber");
  const std::string cell =
      "<td valign=\"top\" class=\"none\" width=\"200\" bgcolor=\"#FFFFFF\">";
  EXPECT_EQ(
      Cut(out, "<a href=\"#\" onclick=\"OpenClose('divarama');\">", "</div>"),
      "<a href=\"#\" onclick=\"OpenClose('divarama');\"><img src=\"images/ico_ara.gif\" "
      "border=\"0\" align=\"absmiddle\" vspace=\"6\"></a> Search <br>"
      "<div id=\"divarama\" style=\"display:;position:absolute; background-color: #ffffff; "
      "border: 1px solid #AAAAAA; padding:10px;\" class=\"cantvisible\">"
      "<table class=\"none\" width=\"370\">    <thead>    <tr>"
      "        <td class=\"none\" height=\"30\">Search criterias:</td>    </tr>    </thead>"
      "</table>"
      "<table border=\"0\" cellspacing=\"3\" cellpadding=\"5\" width=\"370\" "
      "style=\"border-color:#ffffff\">    <thead>    <tr>"
      "</tr><tr>"  // Id is not offered: an empty row
      "<th align=\"left\" width=\"170\" valign=\"top\">&nbsp;Name:</th>" +
          cell + "<input type=\"textbox\" name=\"Name\" value=\"\" size=\"25\"></td></tr><tr>"
          "<th align=\"left\" width=\"170\" valign=\"top\">&nbsp;City:</th>" +
          cell +
          "<input type=\"textbox\" name=\"City\" value=\"Ber\" size=\"25\"></td>"
          "</tr><tr class='odd'>"
          "    </tr>    </thead></table>"
          "<table class=\"none\" width=\"370\">    <thead>    <tr>"
          "        <td class=\"none\"><input type=\"image\" src=\"images/but_search.gif\"></td>"
          "        <td align=\"right\" class=\"none\">Close <A href=\"#\" "
          "onclick=\"OpenClose('divarama');\"><img src=\"images/ico_close.gif\" border=\"0\" "
          "align=\"absmiddle\"></A></td>    </tr>    </thead></table>"
          "</div>");
}

TEST(ListSearchPanel, ShadesTheRowAfterEverySecondThenFourthOfferedField) {
  struct Case {
    const char* search;      // "set_Orders_search"
    const char* cant_field;  // the user's field deny-list
    const char* rows;        // per field: "o" a shaded row follows, "-" a plain one
  };
  const Case cases[] = {
      {"", "", "-o---o"},
      {"A,B,D", "", "-oo---"},  // fields not offered still close a row
      {"", "Orders.B[V]", "--o---"},
  };
  static const std::regex kRowBreak("</tr><tr( class='odd')?>");
  for (const Case& c : cases) {
    ListPage page(R"sql(
      create table Orders (A integer primary key, B text, C text, D text, E text, F text);
    )sql");
    page.Set("set_Orders_search", Variant(c.search));
    page.Set("set_user1_CantField", Variant(c.cant_field));
    std::string out = page.Run("t=ORD");
    std::string rows;
    for (std::sregex_iterator it(out.begin(), out.end(), kRowBreak), end; it != end; ++it)
      rows += (*it)[1].matched ? "o" : "-";
    EXPECT_EQ(rows, c.rows) << c.search << " / " << c.cant_field;
  }
}

TEST(ListActionBar, ListsTheActionsThatApplyUpToTheFirstMissingDefinition) {
  ListPage page(kOrders);
  page.Set("set_action1", Variant("Delete,V,Orders"));
  page.Set("set_action2", Variant("Archive,X,ALL"));  // the user lacks X
  page.Set("set_action3", Variant("Print,V,ALL"));
  page.Set("set_action5", Variant("Never,V,ALL"));    // after the gap
  std::string out = page.Run("go=1&hf=1&c=3");
  EXPECT_NE(out.find("<select size=\"1\" name=\"a\"><option value=\"1\">Delete</option>"
                     "<option value=\"3\">Print</option>        </select>"),
            std::string::npos);
  // The script walks exactly the boxes the grid wrote.
  EXPECT_NE(out.find("id=\"check3\""), std::string::npos);
  EXPECT_NE(out.find("for(i=1;i<=3;i++)"), std::string::npos);

  ListPage none(kOrders);
  out = none.Run("go=1&hf=1");
  EXPECT_NE(out.find("<select size=\"1\" name=\"a\">        </select>"), std::string::npos);
}

TEST(ListActionBar, AStoredEmptyDefinitionIsNoEndOfTheListButAnError) {
  ListPage page(kOrders);
  page.Set("set_action1", Variant("Delete,V,Orders"));
  page.Set("set_action2", Variant(""));
  EXPECT_EQ(page.ErrorOf("go=1&hf=1"), kErrSubscript);
  EXPECT_TRUE(page.output().ends_with("<option value=\"1\">Delete</option>"));
}

}  // namespace
}  // namespace tabrix
