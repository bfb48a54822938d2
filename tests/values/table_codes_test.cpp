// Table codes (one-way, over a 33-character alphabet) and the symmetric
// string cipher, both over the Windows-1252 codes of the characters.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "host/text/utf8.h"
#include "host/text/windows1252.h"
#include "support/component_harness.h"
#include "values/table_codes.h"

namespace tabrix {
namespace {

TEST(TableCodes, AreFixedLengthTextsOfTheAlphabet) {
  testing::ComponentHarness h;
  h.Set("set_encryptkey", Variant("k3y"));
  std::string code = h.object().EnCr(Variant("Invoice")).string();
  ASSERT_EQ(code.size(), 7u);
  EXPECT_EQ(code.find_first_not_of("ABCDEFGHIJKLMNOPRSTUVYZ0123456789"), std::string::npos);
  EXPECT_EQ(h.object().EnCr(Variant("Invoice")).string(), code);
  EXPECT_NE(h.object().EnCr(Variant("orders")).string(),
            h.object().EnCr(Variant("Orders")).string());
  EXPECT_EQ(h.object().EnCr(Variant("")).string(), "");
}

TEST(TableCodes, FollowTheKeyStream) {
  testing::ComponentHarness h;
  // One key character for every position: 'A' (65) with 'A' gives j = 65 mod 33 = 32, "9".
  h.Set("set_encryptkey", Variant("A"));
  EXPECT_EQ(h.object().EnCr(Variant("AAA")).string(), "999");
  // Only the first characters of a long key take part.
  h.Set("set_encryptkey", Variant("AB"));
  std::string short_code = h.object().EnCr(Variant("AA")).string();
  h.Set("set_encryptkey", Variant("ABCDEF"));
  EXPECT_EQ(h.object().EnCr(Variant("AA")).string(), short_code);
  // é is 233 in the code page: (233 + 65) / 2 = 149, 149 mod 33 = 17, "S".
  h.Set("set_encryptkey", Variant("A"));
  EXPECT_EQ(h.object().EnCr(Variant("é")).string(), "S");
}

TEST(TableCodes, NeedAKeyAndAText) {
  testing::ComponentHarness h;
  try {
    h.object().EnCr(Variant("Orders"));
    FAIL() << "no key";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrDivisionByZero);
  }
  h.Set("set_encryptkey", Variant("k"));
  try {
    h.object().EnCr(Variant::Null());
    FAIL() << "Null text";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrInvalidNull);
  }
}

TEST(TableCodes, OfOneMenuAreMadeDistinctInMenuOrder) {
  using Codes = std::vector<std::string>;
  struct Case {
    const char* name;
    Codes codes;
    Codes expected;
  };
  const Case cases[] = {
      {"no clash", {"AB", "CD", "AB1"}, {"AB", "CD", "AB1"}},
      {"a clash", {"AB", "CD", "AB"}, {"AB", "CD", "ABA"}},
      {"three alike", {"AB", "AB", "AB"}, {"AB", "ABA", "ABB"}},
      {"a suffix that a later table owns", {"AB", "AB", "ABA"}, {"AB", "ABB", "ABA"}},
      {"a suffix that an earlier table owns", {"ABA", "AB", "AB"}, {"ABA", "AB", "ABB"}},
      {"empty", {}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(values::DistinctCodes(c.codes), c.expected) << c.name;

  // Past the one-character suffixes come the two-character ones.
  Codes same(35, "Z");
  Codes distinct = values::DistinctCodes(same);
  EXPECT_EQ(distinct[1], "ZA");
  EXPECT_EQ(distinct[33], "Z9");
  EXPECT_EQ(distinct[34], "ZAA");
  EXPECT_EQ(std::set<std::string>(distinct.begin(), distinct.end()).size(), same.size());
}

TEST(StringCipher, TwiceGivesEveryCodePageTextBack) {
  testing::ComponentHarness h;
  h.Set("set_projectname", Variant("Tabrix Demo"));
  std::string all;
  for (int code = 0; code < 256; ++code)
    text::AppendCodePoint(all, text::Windows1252ToCodePoint(static_cast<unsigned char>(code)));
  std::string once = h.object().szEncryptDecrypt(Variant(all)).string();
  EXPECT_EQ(text::Length(once), 256u);
  std::u32string a = text::Decode(all), b = text::Decode(once);
  for (size_t i = 0; i < a.size(); ++i) EXPECT_NE(a[i], b[i]) << "position " << i;
  EXPECT_EQ(h.object().szEncryptDecrypt(Variant(once)).string(), all);
}

TEST(StringCipher, RefusesCharactersOutsideTheCodePage) {
  testing::ComponentHarness h;
  h.Set("set_projectname", Variant("key"));
  try {
    h.object().szEncryptDecrypt(Variant("日本"));
    FAIL() << "no code for these characters";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrInvalidArgument);
  }
  // A character equal to its key character gives code 0.
  EXPECT_EQ(h.object().szEncryptDecrypt(Variant("k")).string(), std::string(1, '\0'));
}

}  // namespace
}  // namespace tabrix
