// LIKE in SQLite ignores case beyond ASCII: both sides fold with ICU, % and
// _ stay wildcards (an _ is one character, not one byte), ESCAPE works.
#include <gtest/gtest.h>

#include <string>

#include "host/adodb/sqlite/sqlite_like.h"
#include "recordset_helpers.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;
using testing::OpenStatic;
using testing::Raised;

TEST(Like, FoldsCaseBeyondAscii) {
  SqliteFixture db;
  struct {
    const char* condition;
    const char* result;  // "1", "0" or "Null"
  } cases[] = {
      {"'ÇAĞ' like '%çağ%'", "1"},
      {"'Ayşe ÇAĞLAR' like '%çağ%'", "1"},
      {"'çağ' like 'ÇAĞ'", "1"},
      {"'ΣΊΣΥΦΟΣ' like 'σίσυφος'", "1"},  // final sigma folds like sigma
      {"'ÇAĞ' not like '%çağ%'", "0"},
      {"'cag' like '%çağ%'", "0"},
      {"'açc' like 'a_c'", "1"},
      {"'abc' like 'ab'", "0"},
      {"'ab' like 'ab%'", "1"},
      {"'' like '%'", "1"},
      {"'x' like ''", "0"},
      {"'mississippi' like '%iss%ppi'", "1"},
      {"'mississippi' like 'm%iss%x'", "0"},
      {"'aaaaaaaaaaab' like '%a%a%b'", "1"},
      {"'10%' like '10!%' escape '!'", "1"},
      {"'100' like '10!%' escape '!'", "0"},
      {"'a_b' like 'a\\_b' escape '\\'", "1"},
      {"'axb' like 'a\\_b' escape '\\'", "0"},
      {"'Ä%' like 'ä!%' escape '!'", "1"},
      {"null like 'a'", "Null"},
      {"'a' like null", "Null"},
      {"12 like '1%'", "1"},
  };
  for (const auto& c : cases) {
    auto rs = OpenStatic(std::string("select ") + c.condition + " as R", db.connection_string());
    Variant r = rs->Value(Variant("R"));
    std::string text = r.IsNull() ? "Null" : std::to_string(r.long_value());
    EXPECT_EQ(text, c.result) << c.condition;
  }
  ScriptError error =
      Raised([&] { OpenStatic("select 'a' like 'a' escape 'ab'", db.connection_string()); });
  EXPECT_EQ(error.number(), kErrProvider);
  EXPECT_EQ(error.description(), "ESCAPE expression must be a single character");
}

TEST(Like, FiltersRowsInAWhereClause) {
  SqliteFixture db(
      "CREATE TABLE Names(N TEXT); INSERT INTO Names VALUES ('Çağ'), ('ÇAĞLAR'), ('Cag'), (NULL);");
  auto rs =
      OpenStatic("select count(*) as c from [Names] where N like '%çağ%'", db.connection_string());
  EXPECT_TRUE(rs->Value(Variant("c")).Identical(Variant(2)));
}

TEST(Like, MatcherWithoutADatabase) {
  EXPECT_TRUE(sqlite::LikeMatches(U"%%a", U"ba", std::nullopt));
  EXPECT_FALSE(sqlite::LikeMatches(U"a!", U"a", U'!'));  // a dangling escape matches nothing
  EXPECT_TRUE(sqlite::LikeMatches(U"%!%", U"50%", U'!'));
  EXPECT_FALSE(sqlite::LikeMatches(U"_", U"", std::nullopt));
}

}  // namespace
}  // namespace tabrix::adodb
