// The list-string utilities: markers found ignoring case, whole-item
// membership, and parts cut at an exact delimiter.
#include <gtest/gtest.h>

#include "support/component_harness.h"

namespace tabrix {
namespace {

struct GetThisCase {
  const char* ana;
  int from;
  const char* start;
  const char* end;
  const char* expected;
};

TEST(GetThis, CutsTheTextBetweenTheMarkers) {
  const GetThisCase cases[] = {
      {",a=Alpha,b=Beta,", 1, ",b=", ",", "Beta"},
      {",Name=Ad,", 1, ",NAME=", ",", "Ad"},      // markers ignore case, result keeps it
      {",x[V],", 1, ",x[", "]", "V"},
      {",x[V,", 1, ",x[", "]", ""},                // no end marker after the start
      {"k=1;k=2;", 3, "k=", ";", "2"},             // the search starts at From
      {",a=1,", 1, ",zz=", ",", ""},               // start marker missing
      {",a=1,", 1, ",zz=", "", ""},
      {"x=1;y", 1, "x=", ";", "1"},
      {"", 1, "a", "b", ""},
      {",ÇAĞ=Şehir,", 1, ",çağ=", ",", "Şehir"},  // non-ASCII letters fold too
      {",é=1,É=2,", 4, ",É=", ",", "2"},          // From counts characters, not bytes
      {"a=1=2", 1, "a=", "=", "1"},
  };
  testing::ComponentHarness h;
  for (const auto& c : cases) {
    Variant result = h.object().GetThis(Variant(c.ana), Variant(c.from), Variant(c.start),
                                        Variant(c.end));
    ASSERT_TRUE(result.IsString());
    EXPECT_EQ(result.string(), c.expected) << c.ana << " from " << c.from << " " << c.start;
  }
}

TEST(GetThis, OnlyTheFirstStartMarkerCounts) {
  testing::ComponentHarness h;
  // The text runs from the first start marker to the first end marker after it.
  EXPECT_EQ(h.object().GetThis(Variant(",b=1,b=2]"), Variant(1), Variant(",b="), Variant("]"))
                .string(),
            "1,b=2");
  EXPECT_EQ(h.object().GetThis(Variant("b=1"), Variant(1), Variant("b="), Variant("]")).string(),
            "");
}

TEST(GetThis, RejectsBadArguments) {
  testing::ComponentHarness h;
  auto number_of = [&](const Variant& ana, const Variant& from, const Variant& start) {
    try {
      h.object().GetThis(ana, from, start, Variant(","));
    } catch (const ScriptError& e) {
      return e.number();
    }
    return 0L;
  };
  EXPECT_EQ(number_of(Variant("a"), Variant(0), Variant("a")), kErrInvalidArgument);
  EXPECT_EQ(number_of(Variant("a"), Variant("x"), Variant("a")), kErrTypeMismatch);
  EXPECT_EQ(number_of(Variant::Null(), Variant(1), Variant("a")), kErrInvalidNull);
  EXPECT_EQ(number_of(Variant("a"), Variant(1), Variant::Null()), kErrInvalidNull);
  // Numbers are taken in their text form; fractions of From round to even.
  EXPECT_EQ(h.object().GetThis(Variant(1234), Variant(1.5), Variant("2"), Variant("4")).string(),
            "3");
}

TEST(IcindeVarmi, MatchesWholeItemsIgnoringCase) {
  struct Case {
    Variant list, item;
    bool expected;
  } cases[] = {
      {"a,B,c", "b", true},
      {"ab,c", "b", false},
      {"a, b", "b", false},  // the blank belongs to the item
      {"a,b,c", "b,c", true},
      {"", "", true},
      {"a", "", false},
      {"a,,b", "", true},
      {Variant::Null(), "", true},  // Null counts as ""
      {"Orders,İl", "il", false},   // folding ignores the locale: İ is not i
      {"1,2,3", 2, true},
      {"a,\xFF", "\xFE", false},  // bytes that are no UTF-8 match only themselves
      {"a,\xFF", "\xFF", true},
  };
  testing::ComponentHarness h;
  for (const auto& c : cases) {
    Variant result = h.object().IcindeVarmi(c.list, c.item);
    ASSERT_EQ(result.type(), VarType::Boolean);
    EXPECT_EQ(result.boolean(), c.expected)
        << (c.list.IsString() ? c.list.string() : "?") << " / "
        << (c.item.IsString() ? c.item.string() : "?");
  }
}

TEST(GetBols, ReturnsOnePartOfASplit) {
  struct Case {
    const char* whole;
    const char* delimiter;
    int part;
    const char* expected;
  } cases[] = {
      {"x|y|z", "|", 1, "y"}, {"x|y|z", "|", 2, "z"}, {"x|y|z", "|", 3, ""},
      {"", "|", 0, ""},       {"xAy", "a", 1, ""},     {"xAy", "", 0, "xAy"},
      {"a::b", "::", 1, "b"}, {"a||", "|", 2, ""},     {"|a", "|", 0, ""},
  };
  testing::ComponentHarness h;
  for (const auto& c : cases) {
    EXPECT_EQ(h.object().GetBols(Variant(c.whole), Variant(c.delimiter), Variant(c.part)).string(),
              c.expected)
        << c.whole << " at " << c.delimiter << " part " << c.part;
  }
}

TEST(GetBols, RejectsNegativePartsAndNull) {
  testing::ComponentHarness h;
  try {
    h.object().GetBols(Variant("a|b"), Variant("|"), Variant(-1));
    FAIL() << "a negative part number must fail";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrSubscript);
  }
  try {
    h.object().GetBols(Variant::Null(), Variant("|"), Variant(0));
    FAIL() << "a Null string must fail";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrInvalidNull);
  }
}

}  // namespace
}  // namespace tabrix
