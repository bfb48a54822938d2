// Counting and paging a query without reading all of it: which queries
// may drop their select list for the count, and where the offset goes.
#include "host/sql/query_shape.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tabrix::sql {
namespace {

TEST(FastCountQuery, DropsTheSelectListAndTheOrder) {
  struct {
    const char* sql;
    const char* count;
  } cases[] = {
      {"SELECT a, (SELECT count(*) FROM c WHERE c.p = t.id) FROM t WHERE x = 1 ORDER BY a",
       "SELECT COUNT(*) FROM (SELECT 1 FROM t WHERE x = 1) AS tabrix_rows"},
      {"select * from t order by (select 1) desc",
       "SELECT COUNT(*) FROM (SELECT 1 from t) AS tabrix_rows"},
      {"select a from t where b in (select b from u group by b order by b limit 3)",
       "SELECT COUNT(*) FROM (SELECT 1 from t where b in (select b from u group by b order by b "
       "limit 3)) AS tabrix_rows"},
      {"select a from t where x in (1, 2) -- note\norder by a",
       "SELECT COUNT(*) FROM (SELECT 1 from t where x in (1, 2)) AS tabrix_rows"},
      {"select a from t;", "SELECT COUNT(*) FROM (SELECT 1 from t) AS tabrix_rows"},
      {"select max_value, counter from t",
       "SELECT COUNT(*) FROM (SELECT 1 from t) AS tabrix_rows"},
      // A condition that is always true is dropped, so the engine can count fast.
      {"select [a] from [t] WHERE 1=1 ORDER BY 1 Desc",
       "SELECT COUNT(*) FROM (SELECT 1 from [t]) AS tabrix_rows"},
      {"select a from t where 1 = 1", "SELECT COUNT(*) FROM (SELECT 1 from t) AS tabrix_rows"},
      {"select a from t WHERE 1=1 AND (City like '%Ber%') ORDER BY 1 Desc",
       "SELECT COUNT(*) FROM (SELECT 1 from t WHERE 1=1 AND (City like '%Ber%')) AS tabrix_rows"},
      {"select a from t where 1=10",
       "SELECT COUNT(*) FROM (SELECT 1 from t where 1=10) AS tabrix_rows"},
      {"select a from t where (select 1 where 1=1) = 1",
       "SELECT COUNT(*) FROM (SELECT 1 from t where (select 1 where 1=1) = 1) AS tabrix_rows"},
  };
  for (const auto& c : cases) {
    auto count = FastCountQuery(c.sql);
    ASSERT_TRUE(count.has_value()) << c.sql;
    EXPECT_EQ(*count, c.count) << c.sql;
  }
}

TEST(FastCountQuery, RefusesWhatChangesTheCount) {
  const char* cases[] = {
      "select distinct a from t",
      "select a from t group by a",
      "select a from t having a > 1",
      "select count(*) from t",
      "select sum (x) from t",
      "select a from t union select b from u",
      "select a from t except select b from u",
      "select a from t limit 5",
      "select a from t order by a limit 5 offset 2",
      "select 1",
      "with x as (select 1) select * from x",
      "values (1), (2)",
      "select row_number() over (order by a) from t",
  };
  for (const char* sql : cases) EXPECT_FALSE(FastCountQuery(sql).has_value()) << sql;
}

TEST(FastCountQuery, KeepsTheSelectListWhenTheRestNamesOneOfItsAliases) {
  // Decided from the text alone: a trial prepare that fails would abort an
  // open PostgreSQL transaction.
  const char* refused[] = {
      "select N as Ten from t where Ten > 2",
      "select N Ten from t where ten > 2",
      "select (select 1) as [x y] from t where \"x y\" = 1",
      "select a, b as c from t order by c",
  };
  for (const char* sql : refused) EXPECT_FALSE(FastCountQuery(sql).has_value()) << sql;
  const char* counted[] = {
      "select a.b, (select n from u where u.k = t.k) as k_caption from t where k = 1",
      "select [Id],[Name] from [Orders] WHERE 1=1 AND (Name like '%a%') ORDER BY Name Asc",
  };
  for (const char* sql : counted) EXPECT_TRUE(FastCountQuery(sql).has_value()) << sql;
}

TEST(CountQuery, WrapsTheWholeQuery) {
  EXPECT_EQ(CountQuery("select distinct a from t order by a; -- end"),
            "SELECT COUNT(*) FROM (select distinct a from t order by a) AS tabrix_rows");
}

TEST(WindowQuery, AppendsTheOffsetOrWrapsALimitedQuery) {
  SqliteDialect sqlite;
  EXPECT_EQ(WindowQuery("select a from t order by a", 40, sqlite),
            "select a from t order by a LIMIT -1 OFFSET 40");
  EXPECT_EQ(WindowQuery("select a from t -- c", 1, sqlite), "select a from t LIMIT -1 OFFSET 1");
  EXPECT_EQ(WindowQuery("select a from t order by a LIMIT 5;", 2, sqlite),
            "SELECT * FROM (select a from t order by a LIMIT 5) AS tabrix_rows LIMIT -1 OFFSET 2");
  Dialect standard;
  EXPECT_EQ(WindowQuery("select a from t", 3, standard), "select a from t OFFSET 3");
}

TEST(PagedListWindow, PicksTheRowsFirstAndComputesPerRowWorkOutside) {
  const std::vector<std::string> key = {"\"t\".\"id\""};
  struct {
    const char* sql;
    std::vector<std::string> tiebreak;
    const char* window;  // rows 100 to 149
  } cases[] = {
      // A caption: the inner query sorts and windows the table's own rows,
      // the ordinal becoming the column it names.
      {"select \"id\",\"cust\", (Select name from c where c.id=\"t\".\"cust\") as cust_caption "
       "from \"t\" WHERE 1=1 ORDER BY 1 Desc",
       {},
       "SELECT \"id\",\"cust\", (Select name from c where c.id=\"t\".\"cust\") as cust_caption FROM "
       "(SELECT * from \"t\" WHERE 1=1 ORDER BY \"id\" Desc LIMIT 50 OFFSET 100) AS \"t\" ORDER BY 1 "
       "Desc"},
      // A sort by another column goes on with the key.
      {"select a, (select 2) as b from t where a > 1 order by \"total\" Asc", key,
       "SELECT a, (select 2) as b FROM (SELECT * from t where a > 1 ORDER BY \"total\" Asc, "
       "\"t\".\"id\" LIMIT 50 OFFSET 100) AS t ORDER BY \"total\" Asc, \"t\".\"id\""},
      // Plain columns need no inner query.
      {"select a, b from s.t order by 2", key,
       "SELECT a, b from s.t ORDER BY 2, \"t\".\"id\" LIMIT 50 OFFSET 100"},
      {"select a from t", {}, "SELECT a from t LIMIT 50 OFFSET 100"},
      // A line comment keeps the line break that ends it.
      {"select a, -- the key\n(select 1) from t -- the table\n", {},
       "SELECT a, -- the key\n(select 1) FROM (SELECT * from t LIMIT 50 OFFSET 100) AS t"},
  };
  for (const auto& c : cases) {
    std::optional<PagedList> list = PagedListOf(c.sql);
    ASSERT_TRUE(list.has_value()) << c.sql;
    EXPECT_EQ(PagedListWindow(*list, c.tiebreak, 100, 50), c.window) << c.sql;
  }
}

TEST(PagedListWindow, KnowsWhereTheOrderStartsAndWhichTableItReads) {
  std::optional<PagedList> list =
      PagedListOf("select \"Id\" as k, x from \"My Schema\".\"Big \"\"T\"\"\" where y = 'from' "
                  "order by 1 desc, x, y + 1");
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->schema, "My Schema");
  EXPECT_EQ(list->table, "Big \"T\"");
  EXPECT_EQ(list->alias, "\"Big \"\"T\"\"\"");
  EXPECT_EQ(list->inner_order, "\"Id\" desc, x, y + 1");
  EXPECT_EQ(list->leading_order_columns, (std::vector<std::string>{"id", "x"}));
  EXPECT_FALSE(list->per_row_work);  // plain columns, one of them renamed
}

TEST(PagedListWindow, LeavesOtherQueriesToAPlainLimit) {
  const char* refused[] = {
      "select a from t, u order by 1",        // two tables
      "select a from t x order by 1",         // a table alias
      "select a from (select a from t) s",    // a sub-query in FROM
      "select a + 1 from t order by 1",       // an ordinal that names no column
      "select a from t order by 3",           // an ordinal past the list
      "select a as b from t order by b",      // an order by an alias of the list
      "select distinct a from t order by a",  // what changes the rows
      "select a from t order by a limit 5",
      "select a from t where b = 'unterminated",  // the window would join the literal
  };
  for (const char* sql : refused) EXPECT_FALSE(PagedListOf(sql).has_value()) << sql;
  EXPECT_EQ(LimitedWindow("select a from t order by a;", 10, 5),
            "select a from t order by a LIMIT 5 OFFSET 10");
  EXPECT_EQ(LimitedWindow("select a from t limit 20", 10, 5),
            "SELECT * FROM (select a from t limit 20) AS tabrix_rows LIMIT 5 OFFSET 10");
}

}  // namespace
}  // namespace tabrix::sql
