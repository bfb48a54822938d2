// Text helpers the settings rely on: splitting at a separator, and
// replacing a marker in any letter case while keeping the original bytes.
#include <gtest/gtest.h>

#include "host/text/case_fold.h"
#include "host/text/split.h"

namespace tabrix::text {
namespace {

TEST(Split, CutsAtEverySeparatorWithoutTrimming) {
  using Pieces = std::vector<std::string>;
  EXPECT_EQ(Split("a, b,,c", ","), (Pieces{"a", " b", "", "c"}));
  EXPECT_EQ(Split("x::y", "::"), (Pieces{"x", "y"}));
  EXPECT_EQ(Split("a,", ","), (Pieces{"a", ""}));
  EXPECT_EQ(Split("", ","), Pieces{});
  EXPECT_EQ(Split("abc", ""), Pieces{"abc"});
}

TEST(ReplaceIgnoringCase, ReplacesEveryMarkerAndKeepsTheRest) {
  const struct {
    const char* text;
    const char* marker;
    const char* replacement;
    const char* expected;
  } cases[] = {
      {"Hi #USER#, #user#!", "#user#", "Ada", "Hi Ada, Ada!"},
      {"Is_Active_YN", "_yn", "", "Is_Active"},
      {"ÇAĞ_yn_çağ", "çağ", "x", "x_yn_x"},
      {"\xFF_YN\xFE", "_yn", "", "\xFF\xFE"},  // bytes that are no UTF-8 stay as they are
      {"aaa", "aa", "b", "ba"},                // left to right, no overlaps
      {"no marker", "#user#", "Ada", "no marker"},
      {"abc", "", "x", "abc"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReplaceIgnoringCase(c.text, c.marker, c.replacement), c.expected) << c.text;
}

}  // namespace
}  // namespace tabrix::text
