// The runtime's comparison of two values: Null, numbers against numbers and
// text, Empty on either side, and case.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "host/variant_ops.h"
#include "support/error_number.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {

class Thing : public Object {
 public:
  std::string_view ClassName() const override { return "Thing"; }
};


struct CompareCase {
  const char* id;
  Variant a;
  Variant b;
  bool ignore_case;
  std::optional<int> expected;
};

TEST(CompareTest, FollowsTheRuntimesRules) {
  const Variant null = Variant::Null();
  const Variant empty;
  const CompareCase cases[] = {
      {"null-1", null, Variant(1), false, std::nullopt},
      {"null-2", Variant("a"), null, false, std::nullopt},
      {"null-3", null, null, false, std::nullopt},
      {"null-4", empty, null, false, std::nullopt},
      {"num-1", Variant(1), Variant(2), false, -1},
      {"num-2", Variant(2.5), Variant(2), false, 1},
      {"num-3", Variant(2), Variant(2.0), false, 0},
      {"num-4", Variant(true), Variant(-1), false, 0},
      {"num-5", Variant(CurrencyValue{15000}), Variant(1.5), false, 0},
      {"num-6", Variant(DateValue{38051}), Variant(38051), false, 0},
      {"num-7", Variant(9007199254740993LL), Variant(9007199254740992LL), false, 1},
      {"mixed-1", Variant(5), Variant("abc"), false, -1},
      {"mixed-2", Variant("5"), Variant(5), false, 1},
      {"mixed-3", Variant(100), Variant("1"), false, -1},
      {"mixed-4", Variant(true), Variant("True"), false, -1},
      {"empty-1", empty, Variant(0), false, 0},
      {"empty-2", empty, Variant(-1), false, 1},
      {"empty-3", Variant(0.5), empty, false, 1},
      {"empty-4", empty, Variant(""), false, 0},
      {"empty-5", empty, Variant("a"), false, -1},
      {"empty-6", Variant("a"), empty, false, 1},
      {"empty-7", empty, empty, false, 0},
      {"text-1", Variant("abc"), Variant("ABC"), false, 1},
      {"text-2", Variant("abc"), Variant("ABC"), true, 0},
      {"text-3", Variant("a"), Variant("B"), false, 1},
      {"text-4", Variant("a"), Variant("B"), true, -1},
      {"text-5", Variant("ab"), Variant("abc"), false, -1},
      {"text-6", Variant("ŞOFÖR"), Variant("şoför"), true, 0},
      {"text-7", Variant("I"), Variant("ı"), true, -1},
      {"text-8", Variant("é"), Variant("z"), false, 1},  // by code point
      {"text-9", Variant("10"), Variant("9"), false, -1},
  };
  for (const CompareCase& c : cases)
    EXPECT_EQ(Compare(c.a, c.b, c.ignore_case), c.expected) << c.id;
}

TEST(CompareTest, EqualsTakesNullAsFalse) {
  EXPECT_TRUE(Equals(Variant(1), Variant(1.0)));
  EXPECT_TRUE(Equals(Variant("Id"), Variant("ID"), true));
  EXPECT_FALSE(Equals(Variant("Id"), Variant("ID")));
  EXPECT_FALSE(Equals(Variant::Null(), Variant::Null()));
  EXPECT_FALSE(Equals(Variant(0), Variant("0")));
}

TEST(CompareTest, ArraysAndObjectsDoNotCompare) {
  Variant array = Variant::Array({Variant(1)});
  Variant object = Variant(std::make_shared<Thing>());
  EXPECT_EQ(ErrorNumberOf([&] { Compare(array, Variant(1)); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([&] { Compare(Variant("a"), object); }), kErrTypeMismatch);
}

}  // namespace
}  // namespace tabrix
