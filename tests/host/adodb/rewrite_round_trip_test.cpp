// The legacy SQL through a real SQLite database: literals written with ''
// and || come back as the text the component meant, date literals compare
// with stored ISO dates, and bracketed names with odd characters resolve.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "host/text/utf8.h"
#include "recordset_helpers.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;
using testing::OpenStatic;

// The text as the component writes it inside apostrophes.
std::string Escape(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    escaped += c;
    if (c == '\'' || c == '|') escaped += c;
  }
  return escaped;
}

TEST(RewriteRoundTrip, LiteralsComeBackAsMeant) {
  SqliteFixture db;
  std::mt19937 random(1899);
  const std::u32string alphabet = U"ab |'|%_-/:09 çğİıöşüÇĞÖŞÜ€😀\t\n\\\"[]";
  for (int round = 0; round < 200; ++round) {
    std::u32string code_points = U"v";
    for (int n = random() % 24; n > 0; --n) code_points += alphabet[random() % alphabet.size()];
    std::string meant = text::Encode(code_points);
    auto rs = OpenStatic("select '" + Escape(meant) + "' as V", db.connection_string());
    ASSERT_TRUE(rs->Value(Variant("V")).Identical(Variant(meant))) << meant;
  }
}

TEST(RewriteRoundTrip, DateLiteralsCompareWithStoredDates) {
  SqliteFixture db(R"sql(
    CREATE TABLE [Order Lines](Id INTEGER PRIMARY KEY, [Shipped On] DATETIME, Note TEXT);
    INSERT INTO [Order Lines] VALUES (1, '2008-06-05 10:00:00', 'a|b'),
                                     (2, '2008-06-28 23:59:59', 'c'), (3, '2008-07-01', 'd');
  )sql");
  struct {
    const char* where;
    std::int64_t count;
  } cases[] = {
      {"[Shipped On] >= '2008-6-5' and [Shipped On] <= '2008-6-28 23:59:59.998'", 2},
      {"[Shipped On] >= '2008/6/6'", 2},
      {"[Shipped On] < '2008-6-5 10:0'", 0},
      {"Note = 'a||b'", 1},
      {"Note like '%||%'", 1},
  };
  for (const auto& c : cases) {
    auto rs = OpenStatic(std::string("select * from [Order Lines] where ") + c.where,
                         db.connection_string());
    EXPECT_EQ(rs->RecordCount(), c.count) << c.where;
  }
}

TEST(RewriteRoundTrip, BracketedNamesWithQuotes) {
  SqliteFixture db(
      "CREATE TABLE \"say \"\"hi\"\"\"(\"a]b\" TEXT); INSERT INTO \"say \"\"hi\"\"\" VALUES "
      "('x');");
  auto rs = OpenStatic("select top 1 [a]]b] from [say \"hi\"]", db.connection_string());
  EXPECT_EQ(rs->fields().Item(Variant(0))->Name(), "a]b");
  EXPECT_TRUE(rs->Value(Variant("A]B")).Identical(Variant("x")));
}

}  // namespace
}  // namespace tabrix::adodb
