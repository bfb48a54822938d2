// Case: the locale's mapping for captions, and folding without a locale for
// every comparison that ignores case.
#include <gtest/gtest.h>

#include <string>

#include "host/locale/locale.h"

namespace tabrix {
namespace {

class CaseTest : public ::testing::Test {
 protected:
  void TearDown() override { Locale::SetCurrent("en-US"); }
};

TEST_F(CaseTest, UpperAndLowerFollowTheLocale) {
  struct Case {
    const char* tag;
    const char* text;
    const char* upper;
    const char* lower;
  } cases[] = {
      {"en-US", "istanbul Irmak", "ISTANBUL IRMAK", "istanbul irmak"},
      {"tr-TR", "istanbul Irmak", "İSTANBUL IRMAK", "istanbul ırmak"},
      {"de-DE", "Straße", "STRASSE", "straße"},
  };
  for (const auto& c : cases) {
    Locale::SetCurrent(c.tag);
    EXPECT_EQ(Locale::Current().ToUpper(c.text), c.upper) << c.tag;
    EXPECT_EQ(Locale::Current().ToLower(c.text), c.lower) << c.tag;
  }
}

TEST_F(CaseTest, ComparisonsIgnoreTheLocale) {
  Locale::SetCurrent("tr-TR");
  EXPECT_TRUE(EqualsIgnoreCase("ID", "id"));
  EXPECT_EQ(FoldCase("ID"), "id");
  EXPECT_EQ(FindIgnoreCase("CustomerID", "id"), 8u);
}

TEST_F(CaseTest, FoldCaseMapsEachCodePointOnItsOwn) {
  struct Case {
    const char* text;
    const char* folded;
  } cases[] = {
      {"Hello World", "hello world"},
      {"ÇĞÖŞÜ Ä", "çğöşü ä"},
      {"ΣΊΣΥΦΟΣ", "σίσυφοσ"},
      {"\xE2\x84\xAA", "k"},        // KELVIN SIGN folds to a plain k
      {"İ", "İ"},                   // no simple folding: stays one code point
      {"ß", "ß"},                   // "ss" would be a full folding
      {"A\xFF" "B\xC3", "a\xFF" "b\xC3"},  // invalid bytes pass through
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FoldCase(c.text), c.folded) << c.text;
}

TEST_F(CaseTest, EqualsIgnoreCase) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"Table", "TABLE", true},
      {"", "", true},
      {"şoför", "ŞOFÖR", true},
      {"çalışma", "ÇALIŞMA", false},  // without a locale I folds to i, not to ı
      {"I", "ı", false},  // dotless i is its own letter
      {"İ", "i", false},
      {"straße", "STRASSE", false},
      {"ab", "abc", false},
      {"\xE2\x84\xAA", "K", true},
      {"\xFF", "\xFE", false},
  };
  for (const auto& c : cases) EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << c.a << " " << c.b;
}

TEST_F(CaseTest, FindIgnoreCaseAnswersByteOffsets) {
  struct Case {
    const char* haystack;
    const char* needle;
    size_t from;
    size_t found;
  } cases[] = {
      {"set_list,Name,", ",name,", 0, 8},
      {"abcABC", "abc", 1, 3},
      {"abc", "", 2, 2},
      {"abc", "", 3, 3},
      {"abc", "a", 4, std::string::npos},
      {"abc", "abcd", 0, std::string::npos},
      // "şoför " is 8 bytes: ş and ö take two each.
      {"şoför ŞOFÖR", "Şoför", 1, 8},
      {"şoför ŞOFÖR", "ÖR", 0, 4},
      {"éé", "É", 1, 2},  // `from` inside a character: the next one counts
      {"x\xE2\x84\xAAy", "KY", 0, 1},
      {"a\xFF" "b", "\xFF" "B", 0, 1},
      {"a\xFE" "b", "\xFF" "B", 0, std::string::npos},
      {"Müller", "MULLER", 0, std::string::npos},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FindIgnoreCase(c.haystack, c.needle, c.from), c.found)
        << c.haystack << " / " << c.needle << " from " << c.from;
}

}  // namespace
}  // namespace tabrix
