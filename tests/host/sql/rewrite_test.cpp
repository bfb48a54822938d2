// The legacy-SQL rewrite for SQLite: the cases of rewrite_cases.txt, and
// string literals, which must come out byte for byte whatever they hold.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/sql/rewriter.h"
#include "host/sql/tokenizer.h"

namespace tabrix::sql {
namespace {

struct RewriteCase {
  std::string id;
  std::string input;
  std::string sqlite;
  bool has_sqlite = false;
};

// Reads the case file's format (see its header).
std::vector<RewriteCase> ReadCases(const std::string& path) {
  std::ifstream file(path);
  std::vector<RewriteCase> cases;
  std::string line;
  enum { kBetween, kInput, kExpected } state = kBetween;
  std::string section;
  auto append = [](std::string& text, const std::string& line) {
    if (!text.empty()) text += '\n';
    text += line;
  };
  while (std::getline(file, line)) {
    if (state == kBetween) {
      if (line.rfind("case ", 0) == 0) {
        cases.push_back({line.substr(5), "", "", false});
        state = kInput;
      }
      continue;
    }
    if (line.rfind("----", 0) == 0) {
      section = line.size() > 5 ? line.substr(5) : "";
      if (section == "sqlite") cases.back().has_sqlite = true;
      state = kExpected;
      continue;
    }
    if (state == kInput) {
      append(cases.back().input, line);
    } else if (line.empty()) {
      state = kBetween;
    } else if (section == "sqlite") {
      append(cases.back().sqlite, line);
    }
  }
  return cases;
}

TEST(Rewrite, CasesFromTheDataFile) {
  std::vector<RewriteCase> cases =
      ReadCases(std::string(TABRIX_TEST_DATA_DIR) + "/host/sql/rewrite_cases.txt");
  ASSERT_FALSE(cases.empty()) << "rewrite_cases.txt is missing or holds no case";
  SqliteDialect sqlite;
  for (const RewriteCase& c : cases) {
    ASSERT_TRUE(c.has_sqlite) << c.id << " has no sqlite section";
    EXPECT_EQ(Rewrite(c.input, sqlite), c.sqlite) << "case " << c.id;
  }
}

// Random bytes, never an apostrophe or a bar, starting with a letter so
// that the text is never date-shaped.
std::string RandomText(std::mt19937& random, size_t max_length) {
  std::uniform_int_distribution<int> length(0, static_cast<int>(max_length));
  std::uniform_int_distribution<int> byte(0, 255);
  std::string text = "x";
  for (int n = length(random); n > 0; --n) {
    char c = static_cast<char>(byte(random));
    if (c != '\'' && c != '|') text += c;
  }
  return text;
}

TEST(Rewrite, LiteralsComeOutByteForByte) {
  std::mt19937 random(20080605);
  SqliteDialect sqlite;
  for (int round = 0; round < 2000; ++round) {
    // The value as the component means it, then as CheckStr writes it.
    std::string meant, written;
    for (int piece = 0; piece < 4; ++piece) {
      std::string text = RandomText(random, 12);
      meant += text;
      written += text;
      switch (random() % 3) {
        case 0: meant += "'", written += "''"; break;
        case 1: meant += "|", written += "||"; break;
        default: break;
      }
    }
    std::string meant_escaped;  // apostrophes stay doubled in SQL text
    for (char c : meant) meant_escaped += c == '\'' ? std::string("''") : std::string(1, c);
    std::string sql = "select * from [T] where a = '" + written + "' and b = 1";
    ASSERT_EQ(Rewrite(sql, sqlite),
              "select * from \"T\" where a = '" + meant_escaped + "' and b = 1")
        << "round " << round;
  }
}

TEST(Rewrite, ArbitraryTextTokenizesWithoutLoss) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  const std::string alphabet = "'\"[]`-/*|()?:@$ \n0123456789.eEselcttopSELECTTOP;,";
  SqliteDialect sqlite;
  for (int round = 0; round < 3000; ++round) {
    std::string sql;
    for (int n = random() % 40; n > 0; --n)
      sql += random() % 4 == 0 ? static_cast<char>(byte(random))
                               : alphabet[random() % alphabet.size()];
    std::string joined;
    for (const Token& token : Tokenize(sql)) joined += token.text;
    ASSERT_EQ(joined, sql);
    Rewrite(sql, sqlite);  // must not crash or throw on any input
  }
}

}  // namespace
}  // namespace tabrix::sql
