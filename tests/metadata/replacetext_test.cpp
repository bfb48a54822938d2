// Names become display texts through "set_replace": whole names, ignoring
// case, first entry wins, never an error.
#include <gtest/gtest.h>

#include "support/component_harness.h"

namespace tabrix {
namespace {

TEST(Replacetext, LooksNamesUpInTheReplaceSetting) {
  struct Case {
    const char* setting;
    Variant name;
    Variant expected;
  } cases[] = {
      {"cust_id=Customer,ord_date=Order date", "CUST_ID", "Customer"},
      {"cust_id=Customer,ord_date=Order date", "ord_date", "Order date"},
      {"cust_id=Customer,ord_date=Order date", "id", "id"},
      {"cust_id=Customer,ord_date=Order date", "date", "date"},
      {"a=,b=Bee", "a", ""},
      {"a=x=y,b=Bee", "a", "x=y"},
      {"a=First,A=Second", "a", "First"},
      {"a=1, b=2", "b", "b"},  // the blank belongs to the next name
      {"a=1, b=2", " b", "2"},
      {"Şehir=City", "şEHİR", "şEHİR"},  // İ folds to itself, so no match
      {"Şehir=City", "şEHIR", "City"},
  };
  for (const auto& c : cases) {
    testing::ComponentHarness h;
    h.Set("set_replace", Variant(c.setting));
    Variant result = h.object().Replacetext(c.name);
    EXPECT_TRUE(result.Identical(c.expected)) << c.setting << " / " << c.name.string();
  }
}

TEST(Replacetext, GivesTheNameBackWhenTheLookupCannotBeMade) {
  testing::ComponentHarness h;
  EXPECT_TRUE(h.object().Replacetext(Variant("Orders")).Identical(Variant("Orders")));
  EXPECT_TRUE(h.object().Replacetext(Variant(7)).Identical(Variant(7)));  // keeps its subtype

  Tabrix1 without_session;
  EXPECT_TRUE(without_session.Replacetext(Variant("Orders")).Identical(Variant("Orders")));
}

}  // namespace
}  // namespace tabrix
