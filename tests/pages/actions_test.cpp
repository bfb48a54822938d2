// Action definitions: which table an action applies to (exact "ALL", whole
// table names ignoring case, searched over the whole definition), the
// user's permission for the action's letter, the action's name, and the
// index errors of incomplete definitions.
#include <gtest/gtest.h>

#include <functional>

#include "support/component_harness.h"
#include "support/error_number.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {

struct ApplyCase {
  const char* definition;
  const char* table;
  const char* can_table;  // the user's allow-list
  bool expected;
};

TEST(ActionThis, AppliesToListedTablesWhenTheUserHoldsTheLetter) {
  const ApplyCase cases[] = {
      {"Delete,D,ALL", "Orders", "Orders[VD]", true},
      {"Delete,D,ALL", "Orders", "Orders[V]", false},     // the letter is missing
      {"Delete,D,ALL", "Orders", "Customers[D]", false},  // held on another table only
      {"Mail,M,Orders,Customers", "Customers", "Customers[M]", true},
      {"Mail,M,Orders,Customers", "customers", "Customers[M]", true},  // names ignore case
      {"Mail,M,Orders,Customers", "Invoices", "Invoices[M]", false},
      {"Mail,M,Orders,Customers", "Order", "Order[M]", false},     // whole names only
      {"Mail,M, Orders,Customers", "Orders", "Orders[M]", false},  // the blank stays
      {"Mail,M,all", "Orders", "Orders[M]", false},                // ALL is exact
      {"Mail,M,all", "ALL", "ALL[M]", true},                       // ...else a table name
      {"Mail,M,ALL ", "Orders", "Orders[M]", false},
      // The whole definition is searched, so the action's own name matches.
      {"Orders,M,Customers", "Orders", "Orders[M]", true},
  };
  for (const auto& c : cases) {
    testing::ComponentHarness h;
    h.Set("UserId", Variant(7));
    h.Set("set_user7_CanTable", Variant(c.can_table));
    h.Set("set_action1", Variant(c.definition));
    Variant result = h.object().ActionThis(Variant(1), Variant(c.table));
    ASSERT_EQ(result.type(), VarType::Boolean) << c.definition;
    EXPECT_EQ(result.boolean(), c.expected) << c.definition << " on " << c.table;
  }
}

TEST(ActionThis, ReadsTheDefinitionByNumberOrDecimalText) {
  testing::ComponentHarness h;
  h.Set("UserId", Variant(1));
  h.Set("set_user1_CantTable", Variant("Orders[D]"));
  h.Set("set_action12", Variant("Delete,D,ALL"));
  for (const Variant& number : {Variant(12), Variant("12"), Variant(12.0)}) {
    EXPECT_TRUE(h.object().ActionThis(number, Variant("Customers")).boolean());
    // The deny-list withholds D on Orders.
    EXPECT_FALSE(h.object().ActionThis(number, Variant("Orders")).boolean());
  }
}

TEST(ActionName, ReturnsTheFirstFieldAsStored) {
  const std::pair<const char*, const char*> cases[] = {
      {"Delete Selected,D,ALL", "Delete Selected"},
      {" Mark As PAID ,P,Orders", " Mark As PAID "},
      {"Archive", "Archive"},  // the name alone is enough here
      {",D,ALL", ""},
  };
  for (const auto& [definition, name] : cases) {
    testing::ComponentHarness h;
    h.Set("set_action3", Variant(definition));
    EXPECT_EQ(h.object().ActionName(Variant(3)).string(), name) << definition;
  }
}


TEST(ActionDefinitions, IncompleteDefinitionsRaiseIndexErrors) {
  struct ErrorCase {
    Variant definition;  // Empty: the key is never stored
    long action_this;
    long action_name;
  };
  const ErrorCase cases[] = {
      {Variant(), kErrSubscript, kErrSubscript},
      {Variant(""), kErrSubscript, kErrSubscript},
      {Variant("Mail,M"), kErrSubscript, 0},  // fewer than three fields
      {Variant("Mail"), kErrSubscript, 0},
      {Variant::Null(), kErrInvalidNull, kErrInvalidNull},
  };
  for (const auto& c : cases) {
    testing::ComponentHarness h;
    if (!c.definition.IsEmpty()) h.Set("set_action1", c.definition);
    EXPECT_EQ(ErrorNumberOf([&] { h.object().ActionThis(Variant(1), Variant("Orders")); }),
              c.action_this)
        << c.definition.TypeName();
    EXPECT_EQ(ErrorNumberOf([&] { h.object().ActionName(Variant(1)); }), c.action_name)
        << c.definition.TypeName();
  }
}

}  // namespace
}  // namespace tabrix
