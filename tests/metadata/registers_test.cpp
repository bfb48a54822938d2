// The registers a hosting page fills: table rows looked up by name ignoring
// case, link rows, their fixed capacity of 100 rows (the count stays raised
// past it), the menu's count that AddTable continues from, and extra fields
// appended to the cached field list.
#include <gtest/gtest.h>

#include <string>

#include "host/scripting/dictionary.h"
#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "support/error_number.h"
#include "support/test_database.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {

// AddTable with `name` as G2, `fifth` as G5 and "g<c>" in every other column.
void AddTableRow(Tabrix1& object, const Variant& name, const Variant& fifth = Variant("g5")) {
  object.AddTable(Variant("g1"), name, Variant("g3"), Variant("g4"), fifth, Variant("g6"),
                  Variant("g7"), Variant("g8"), Variant("g9"), Variant("g10"));
}

TEST(TableProperties, FindsTheFirstRowWhoseNameMatchesIgnoringCase) {
  testing::ComponentHarness h;
  Tabrix1& object = h.object();
  AddTableRow(object, Variant("Orders"), Variant("x"));
  AddTableRow(object, Variant("Customers"), Variant(7));
  AddTableRow(object, Variant("ORDERS"), Variant("second"));  // a later row of the same name

  struct Case {
    const char* name;
    Variant column;
    Variant expected;
  };
  const Case cases[] = {
      {"ORDERS", Variant(5), Variant("x")},
      {"orders", Variant(2), Variant("Orders")},  // the name as stored
      {"Orders", Variant(10), Variant("g10")},
      {"Orders", Variant(0), Variant()},          // column 0 is never written
      {"Orders", Variant("1"), Variant("g1")},    // a column given as text
      {"customers", Variant(5), Variant(7)},
      {"Invoices", Variant(5), Variant()},        // no such row
      {"Order", Variant(5), Variant()},           // whole names only
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + ConcatText(c.column));
    Variant value = object.TableProperties(Variant(c.name), c.column);
    EXPECT_TRUE(value.Identical(c.expected)) << ConcatText(value);
  }
  EXPECT_TRUE(object.TableCount.Identical(Variant(3)));
}

TEST(TableProperties, AnswersNothingBeforeAnyRowAndAColumnOutsideTheRowOnlyWhenOneMatches) {
  testing::ComponentHarness h;
  Tabrix1& object = h.object();
  EXPECT_TRUE(object.TableProperties(Variant("Orders"), Variant(2)).IsEmpty());

  AddTableRow(object, Variant("Orders"));
  struct Case {
    const char* name;
    Variant column;
    long error;
  };
  const Case cases[] = {
      {"Orders", Variant(11), kErrSubscript},
      {"Orders", Variant(-1), kErrSubscript},
      {"Orders", Variant("five"), kErrTypeMismatch},
      {"Invoices", Variant(11), 0},  // no row matches, so the column is never used
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + ConcatText(c.column));
    EXPECT_EQ(ErrorNumberOf([&] { object.TableProperties(Variant(c.name), c.column); }), c.error);
  }
}

TEST(AddTable, TheHundredAndFirstRowRaisesAndTheCountStaysRaised) {
  testing::ComponentHarness h;
  Tabrix1& object = h.object();
  for (int i = 1; i <= 100; ++i) AddTableRow(object, Variant("T" + std::to_string(i)));
  EXPECT_EQ(ErrorNumberOf([&] { AddTableRow(object, Variant("T101")); }), kErrSubscript);
  EXPECT_TRUE(object.TableCount.Identical(Variant(101)));
  EXPECT_EQ(ErrorNumberOf([&] { AddTableRow(object, Variant("T102")); }), kErrSubscript);
  EXPECT_TRUE(object.TableCount.Identical(Variant(102)));

  // The stored rows are kept; the scan stops at the first match, before it
  // reaches the rows the register does not have.
  EXPECT_EQ(ConcatText(object.TableProperties(Variant("t100"), Variant(2))), "T100");
  EXPECT_EQ(ConcatText(object.Tables[1][2]), "T1");
  // A name no row holds runs the scan into row 101.
  EXPECT_EQ(ErrorNumberOf([&] { object.TableProperties(Variant("T101"), Variant(2)); }),
            kErrSubscript);
}

TEST(AddTable, ContinuesFromTheCountTheMenuStored) {
  testing::ComponentHarness h;
  Tabrix1& object = h.object();
  object.TableCount = Variant(4);  // as DatabaseMenu leaves it: its listed tables
  AddTableRow(object, Variant("Orders"), Variant("x"));
  EXPECT_TRUE(object.TableCount.Identical(Variant(5)));
  EXPECT_EQ(ConcatText(object.Tables[5][5]), "x");
  // Rows 1 to 4 are empty: a scan for an empty name stops at row 1.
  EXPECT_EQ(ConcatText(object.TableProperties(Variant("orders"), Variant(5))), "x");
  EXPECT_TRUE(object.TableProperties(Variant(""), Variant(5)).IsEmpty());
}

TEST(AddLink, StoresFourColumnsPerRowUpToAHundredRows) {
  testing::ComponentHarness h;
  Tabrix1& object = h.object();
  object.AddLink(Variant("a"), Variant(2), Variant(), Variant("d"));
  EXPECT_TRUE(object.LinkCount.Identical(Variant(1)));
  EXPECT_TRUE(object.Links[1][1].Identical(Variant("a")));
  EXPECT_TRUE(object.Links[1][2].Identical(Variant(2)));
  EXPECT_TRUE(object.Links[1][3].IsEmpty());
  EXPECT_TRUE(object.Links[1][4].Identical(Variant("d")));
  EXPECT_TRUE(object.Links[0][1].IsEmpty());

  for (int i = 2; i <= 100; ++i) object.AddLink(Variant(i), Variant(), Variant(), Variant());
  EXPECT_EQ(ErrorNumberOf([&] { object.AddLink(Variant(), Variant(), Variant(), Variant()); }),
            kErrSubscript);
  EXPECT_TRUE(object.LinkCount.Identical(Variant(101)));
  EXPECT_TRUE(object.Links[100][1].Identical(Variant(100)));
  // The table register is a register of its own.
  EXPECT_TRUE(object.TableCount.IsEmpty());
}

class AddFieldTest : public ::testing::Test {
 protected:
  AddFieldTest() : db_("CREATE TABLE Orders (Id INTEGER PRIMARY KEY, Note TEXT);") {
    h_.Set("set_dns", Variant(db_.connection_string()));
  }

  static scripting::Dictionary& Map(const Variant& v) { return ObjectAs<scripting::Dictionary>(v); }

  testing::TestDatabase db_;
  testing::ComponentHarness h_;
};

TEST_F(AddFieldTest, AppendsToTheCachedFieldListUntilTheNextLoad) {
  Tabrix1& object = h_.object();
  object.GetFieldList(Variant("Orders"));
  object.AddField(Variant("Total"), Variant("Order total"), Variant(6));

  EXPECT_TRUE(object.FieldCount.Identical(Variant(3.0)));
  EXPECT_EQ(ConcatText(Map(object.FieldNames).Get(Variant(3))), "Total");
  EXPECT_EQ(ConcatText(Map(object.FieldCaptions).Get(Variant(3))), "Order total");
  EXPECT_TRUE(Map(object.FieldTypes).Get(Variant(3)).Identical(Variant(6)));
  EXPECT_TRUE(object.GetFieldType(Variant("TOTAL")).Identical(Variant(6)));
  // The maps are the session's: the field is in the cache, the cached count
  // is not raised.
  EXPECT_EQ(Map(h_.session().Value("FL_Orders_names")).Count(), 3);
  EXPECT_EQ(Map(h_.session().Value("FL_Orders_types")).Count(), 3);
  EXPECT_EQ(ToDouble(h_.session().Value("FL_Orders_count")), 2.0);

  object.GetFieldList(Variant("Orders"));
  EXPECT_TRUE(object.FieldCount.Identical(Variant(2.0)));
  EXPECT_TRUE(object.GetFieldType(Variant("Total")).Identical(Variant(0)));
}

TEST_F(AddFieldTest, FailsWithoutAFieldListAndOnAPositionAlreadyTaken) {
  Tabrix1& object = h_.object();
  // No field list loaded: there are no maps to add to; the count went up.
  EXPECT_EQ(ErrorNumberOf([&] { object.AddField(Variant("X"), Variant("X"), Variant(3)); }),
            kErrObjectRequired);
  EXPECT_EQ(ToDouble(object.FieldCount), 1.0);

  // A count behind the maps lands on a position they hold: the maps' own
  // duplicate-key error, and nothing is replaced.
  object.GetFieldList(Variant("Orders"));
  object.FieldCount = Variant(1.0);
  EXPECT_EQ(ErrorNumberOf([&] { object.AddField(Variant("X"), Variant("X"), Variant(3)); }),
            kErrKeyExists);
  EXPECT_EQ(ConcatText(Map(object.FieldNames).Get(Variant(2))), "Note");
  EXPECT_EQ(ConcatText(Map(object.FieldCaptions).Get(Variant(2))), "Note");
  EXPECT_EQ(Map(object.FieldNames).Count(), 2);
}

}  // namespace
}  // namespace tabrix
