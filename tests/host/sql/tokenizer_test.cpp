// The shared tokenizer: token kinds and boundaries, escapes, unterminated
// literals.
#include "host/sql/tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tabrix::sql {
namespace {

// "kind:text" of each non-blank token, joined by " ".
std::string Describe(std::string_view sql) {
  std::string out;
  for (const Token& token : Tokenize(sql)) {
    if (token.kind == TokenKind::kSpace) continue;
    const char* kind = "";
    switch (token.kind) {
      case TokenKind::kComment: kind = "C"; break;
      case TokenKind::kWord: kind = "W"; break;
      case TokenKind::kQuotedName: kind = "Q"; break;
      case TokenKind::kBracketName: kind = "B"; break;
      case TokenKind::kBacktickName: kind = "T"; break;
      case TokenKind::kString: kind = "S"; break;
      case TokenKind::kNumber: kind = "N"; break;
      case TokenKind::kParameter: kind = "P"; break;
      case TokenKind::kPunct: kind = "O"; break;
      case TokenKind::kSpace: break;
    }
    if (!out.empty()) out += ' ';
    out += std::string(kind) + ":" + std::string(token.text);
  }
  return out;
}

TEST(Tokenize, SplitsTokensByKind) {
  struct {
    const char* sql;
    const char* tokens;
  } cases[] = {
      {"select a,b from t", "W:select W:a O:, W:b W:from W:t"},
      {"'it''s' \"a\"\"b\" [c]]d] `e`", "S:'it''s' Q:\"a\"\"b\" B:[c]]d] T:`e`"},
      {"x||y <= 1.5e3 <> .5 0x1F", "W:x O:|| W:y O:<= N:1.5e3 O:<> N:.5 N:0x1F"},
      {"a -- note\n/* block */ b", "W:a C:-- note C:/* block */ W:b"},
      {"? ?2 :name @p $v", "P:? P:?2 P::name P:@p P:$v"},
      {"Şehir_1 from", "W:Şehir_1 W:from"},
      {"'open", "S:'open"},
      {"[open", "B:[open"},
      {"/* open", "C:/* open"},
      {"1e 2", "N:1 W:e N:2"},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(c.sql), c.tokens) << c.sql;
}

TEST(Tokenize, KnowsWhetherQuotesAreClosed) {
  struct {
    const char* text;
    bool terminated;
    const char* inner;
    const char* name;
  } cases[] = {
      {"'abc'", true, "abc", "abc"},
      {"'it''s'", true, "it''s", "it's"},
      {"''", true, "", ""},
      {"''''", true, "''", "'"},
      {"'abc''", false, "abc''", "abc'"},
      {"[a]]b]", true, "a]]b", "a]b"},
      {"[a]]", false, "a]]", "a]"},
      {"\"x\"\"\"", true, "x\"\"", "x\""},
  };
  for (const auto& c : cases) {
    std::vector<Token> tokens = Tokenize(c.text);
    ASSERT_EQ(tokens.size(), 1u) << c.text;
    EXPECT_EQ(IsTerminated(tokens[0]), c.terminated) << c.text;
    EXPECT_EQ(InnerText(tokens[0]), c.inner) << c.text;
    EXPECT_EQ(NameText(tokens[0]), c.name) << c.text;
  }
}

TEST(Tokenize, MatchesWordsIgnoringAsciiCase) {
  std::vector<Token> tokens = Tokenize("SeLeCt");
  EXPECT_TRUE(IsWord(tokens[0], "select"));
  EXPECT_FALSE(IsWord(tokens[0], "selec"));
  EXPECT_FALSE(IsWord(Tokenize("'select'")[0], "select"));
}

}  // namespace
}  // namespace tabrix::sql
