// The legacy-SQL rewrite for SQLite and PostgreSQL: the cases of
// rewrite_cases.txt, string literals, which must come out byte for byte
// whatever they hold, and the PostgreSQL names read again when one is
// unknown.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/sql/postgres_dialect.h"
#include "host/sql/rewriter.h"
#include "host/sql/tokenizer.h"

namespace tabrix::sql {
namespace {

struct RewriteCase {
  std::string id;
  std::string input;
  std::string sqlite;
  std::string postgres;
  bool has_sqlite = false;
  bool has_postgres = false;
};

// The catalog the sections are written against; counts reloads. A column
// written "name:kind" has that kind (date, number, money, bool, other),
// else it is text.
class FixedNames : public NameSource {
 public:
  FixedNames() {
    Add("Orders", {"Id:number", "Total:number", "Date:date", "Paid:money", "Code"});
    Add("Order Details", {"Unit Price:number"});
    Add("Customers", {"Name", "Code", "City", "Active:bool", "Since:date"});
    Add("Codes", {"Code"});
    Add("B", {"id:number", "d:date"});
    Add("A", {"id:number"});
    Add("t", {"a", "b", "x", "z", "d:date", "j:other", "num:number"});
    Add("Müşteri", {"Adı"});
    Add("Secret", {"Email", "email"});
    Add("secret", {"id:number"});
    names_.AddSchema("public");
  }
  const NameCatalog& Names() override { return names_; }
  const NameCatalog& Reload() override {
    ++reloads;
    return names_;
  }
  void Add(const char* table, std::initializer_list<std::string> columns) {
    names_.AddTable(table);
    for (const std::string& column : columns) {
      size_t colon = column.find(':');
      std::string kind = colon == std::string::npos ? "text" : column.substr(colon + 1);
      names_.AddColumn(table, column.substr(0, colon),
                       kind == "date"     ? ColumnKind::kDate
                       : kind == "number" ? ColumnKind::kNumber
                       : kind == "money"  ? ColumnKind::kMoney
                       : kind == "bool"   ? ColumnKind::kBoolean
                       : kind == "other"  ? ColumnKind::kOther
                                          : ColumnKind::kText);
    }
  }
  int reloads = 0;

 private:
  NameCatalog names_;
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
        cases.push_back({line.substr(5), "", "", "", false, false});
        state = kInput;
      }
      continue;
    }
    if (line.rfind("----", 0) == 0) {
      section = line.size() > 5 ? line.substr(5) : "";
      if (section == "sqlite") cases.back().has_sqlite = true;
      if (section == "postgres") cases.back().has_postgres = true;
      state = kExpected;
      continue;
    }
    if (state == kInput) {
      append(cases.back().input, line);
    } else if (line.empty()) {
      state = kBetween;
    } else if (section == "sqlite") {
      append(cases.back().sqlite, line);
    } else if (section == "postgres") {
      append(cases.back().postgres, line);
    }
  }
  return cases;
}

TEST(Rewrite, CasesFromTheDataFile) {
  std::vector<RewriteCase> cases =
      ReadCases(std::string(TABRIX_TEST_DATA_DIR) + "/host/sql/rewrite_cases.txt");
  ASSERT_FALSE(cases.empty()) << "rewrite_cases.txt is missing or holds no case";
  SqliteDialect sqlite;
  FixedNames names;
  for (const RewriteCase& c : cases) {
    ASSERT_TRUE(c.has_sqlite) << c.id << " has no sqlite section";
    ASSERT_TRUE(c.has_postgres) << c.id << " has no postgres section";
    EXPECT_EQ(Rewrite(c.input, sqlite, &names), c.sqlite) << "case " << c.id;
    EXPECT_EQ(RewriteForPostgres(c.input, names), c.postgres) << "case " << c.id;
  }
}

TEST(Rewrite, PostgresReadsTheNamesAgainOnceForAnUnknownBracketedName) {
  FixedNames names;
  EXPECT_EQ(RewriteForPostgres("select [nope], [gone] from [ORDERS] where q = 1", names),
            "select \"nope\", \"gone\" from \"Orders\" where q = 1");
  EXPECT_EQ(names.reloads, 1);
  names.reloads = 0;
  RewriteForPostgres("select nope, id from orders", names);  // bare words: no reload
  EXPECT_EQ(names.reloads, 0);
}

TEST(Rewrite, PostgresSplitsStatementsOutsideLiteralsAndParentheses) {
  std::vector<std::string_view> parts =
      SplitStatements("select ';' from t; ; insert into t values ((1); 2) ;-- done");
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0], "select ';' from t");
  EXPECT_EQ(parts[1], " insert into t values ((1); 2) ");
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
  FixedNames names;
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
    // PostgreSQL keeps the same bytes, backslashes included.
    ASSERT_EQ(RewriteForPostgres(sql, names),
              "select * from \"t\" where \"a\" = '" + meant_escaped + "' and \"b\" = 1")
        << "round " << round;
  }
}

TEST(Rewrite, ArbitraryTextTokenizesWithoutLoss) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  const std::string alphabet = "'\"[]`-/*|()?:@$ \n0123456789.eEselcttopSELECTTOP;,=<>";
  SqliteDialect sqlite;
  FixedNames names;
  for (int round = 0; round < 3000; ++round) {
    std::string sql;
    for (int n = random() % 40; n > 0; --n)
      sql += random() % 4 == 0 ? static_cast<char>(byte(random))
                               : alphabet[random() % alphabet.size()];
    std::string joined;
    for (const Token& token : Tokenize(sql)) joined += token.text;
    ASSERT_EQ(joined, sql);
    Rewrite(sql, sqlite);  // must not crash or throw on any input
    RewriteForPostgres(sql, names);
  }
}

}  // namespace
}  // namespace tabrix::sql
