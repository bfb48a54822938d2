// Date range criteria: six request items become one "between" condition
// that covers whole days; missing or odd parts become 0, and numbers reach
// the SQL in the invariant form.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "host/adodb/recordset.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "support/test_database.h"

namespace tabrix {
namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

std::string RangeFor(const Items& query, const Items& form, const char* base = "OrderDate") {
  testing::ComponentHarness h;
  for (const auto& [name, value] : query) h.request().AddQueryItem(name, value);
  for (const auto& [name, value] : form) h.request().AddFormItem(name, value);
  Variant result = h.object().SQLTarih(Variant(base));
  EXPECT_TRUE(result.IsString());
  EXPECT_EQ(h.TakeOutput(), "") << "the criteria write nothing";
  return result.IsString() ? result.string() : "";
}

TEST(SQLTarih, BuildsAWholeDayRangeFromTheSixParts) {
  struct Case {
    const char* id;
    Items query;
    Items form;
    const char* expected;
  } cases[] = {
      {"range-1.1",
       {{"OrderDate1_y", "2008"},
        {"OrderDate1_m", "6"},
        {"OrderDate1_d", "5"},
        {"OrderDate2_y", "2008"},
        {"OrderDate2_m", "6"},
        {"OrderDate2_d", "28"}},
       {},
       "between '2008-6-5' and '2008-6-28 23:59:59.998'"},
      // The same day at both ends covers that whole day.
      {"range-1.2",
       {{"OrderDate1_y", "2010"},
        {"OrderDate1_m", "12"},
        {"OrderDate1_d", "31"},
        {"OrderDate2_y", "2010"},
        {"OrderDate2_m", "12"},
        {"OrderDate2_d", "31"}},
       {},
       "between '2010-12-31' and '2010-12-31 23:59:59.998'"},
      // Leading zeros go, a part that is no number becomes 0.
      {"range-1.3",
       {{"OrderDate1_y", "2008"},
        {"OrderDate1_m", "06"},
        {"OrderDate1_d", "x"},
        {"OrderDate2_y", " 2009 "},
        {"OrderDate2_m", ""},
        {"OrderDate2_d", "1"}},
       {},
       "between '2008-6-0' and '2009-0-1 23:59:59.998'"},
      {"range-1.4", {}, {}, "between '0-0-0' and '0-0-0 23:59:59.998'"},
      // Posted parts count as well as query-string ones; the query string wins.
      {"range-1.5",
       {{"OrderDate1_y", "2001"}},
       {{"OrderDate1_y", "1999"},
        {"OrderDate1_m", "2"},
        {"OrderDate1_d", "3"},
        {"OrderDate2_y", "2001"},
        {"OrderDate2_m", "4"},
        {"OrderDate2_d", "5"}},
       "between '2001-2-3' and '2001-4-5 23:59:59.998'"},
      // Names are matched without regard to case; other fields' parts are ignored.
      {"range-1.6",
       {{"orderdate1_Y", "2003"}, {"ShipDate1_m", "9"}, {"ORDERDATE2_d", "7"}},
       {},
       "between '2003-0-0' and '0-0-7 23:59:59.998'"},
      // Nothing is checked against the calendar; the database decides.
      {"range-1.7",
       {{"OrderDate1_y", "2008"},
        {"OrderDate1_m", "13"},
        {"OrderDate1_d", "-2"},
        {"OrderDate2_y", "99999"},
        {"OrderDate2_m", "2.5"},
        {"OrderDate2_d", "30"}},
       {},
       "between '2008-13--2' and '99999-2.5-30 23:59:59.998'"},
  };
  for (const Case& c : cases) EXPECT_EQ(RangeFor(c.query, c.form), c.expected) << c.id;
}

TEST(SQLTarih, TheRangeKeepsBothWholeDaysAndNothingOutside) {
  testing::TestDatabase db(R"sql(
    create table Orders (Id integer primary key, OrderDate datetime);
    insert into Orders values
      (1, '2008-06-04 23:59:59'), (2, '2008-06-05 00:00:00'), (3, '2008-06-05'),
      (4, '2008-06-17 12:30:00'), (5, '2008-06-28 23:59:59'), (6, '2008-06-28'),
      (7, '2008-06-29 00:00:00'), (8, null);
  )sql");
  testing::ComponentHarness h;
  h.Set("set_dns", Variant(db.connection_string()));
  for (const auto& [name, value] : Items{{"OrderDate1_y", "2008"},
                                         {"OrderDate1_m", "6"},
                                         {"OrderDate1_d", "5"},
                                         {"OrderDate2_y", "2008"},
                                         {"OrderDate2_m", "6"},
                                         {"OrderDate2_d", "28"}})
    h.request().AddQueryItem(name, value);

  std::string sql = "select Id from [Orders] where OrderDate " +
                    h.object().SQLTarih(Variant("OrderDate")).string() + " order by Id";
  auto rs = h.object().NewRecordset();
  h.object().OpenRecordset(*rs, sql);
  std::string ids;
  for (; !rs->Eof(); rs->MoveNext()) ids += ConcatText(rs->Value(Variant("Id"))) + " ";
  rs->Close();
  EXPECT_EQ(ids, "2 3 4 5 6 ");
}

TEST(SQLTarih, AnApostropheInAPartNeverReachesTheSql) {
  Items query{{"d1_y", "2008' or 1=1 --"},
              {"d1_m", "1"},
              {"d1_d", "1"},
              {"d2_y", "2008"},
              {"d2_m", "1"},
              {"d2_d", "1"}};
  EXPECT_EQ(RangeFor(query, {}, "d"), "between '0-1-1' and '2008-1-1 23:59:59.998'");
}

TEST(SQLTarih, WritesNumbersInTheInvariantFormUnderAnyRegionalSetting) {
  Locale::SetCurrent("de-DE");
  Items query{{"d1_y", "2008"}, {"d1_m", "6,5"}, {"d1_d", "1.000"},
              {"d2_y", "2008"}, {"d2_m", "7"},   {"d2_d", "8"}};
  std::string range = RangeFor(query, {}, "d");
  Locale::SetCurrent("en-US");
  // "6,5" reads as six and a half there, "1.000" as one thousand.
  EXPECT_EQ(range, "between '2008-6.5-1000' and '2008-7-8 23:59:59.998'");
}

TEST(SQLTarih, FailsWithAnObjectErrorWithoutARequest) {
  Tabrix1 bare;
  try {
    bare.SQLTarih(Variant("OrderDate"));
    FAIL() << "reading the request without one must fail";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrObjectRequired);
  }
}

}  // namespace
}  // namespace tabrix
