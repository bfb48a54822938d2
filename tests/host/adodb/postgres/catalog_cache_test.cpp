// What the connections to one PostgreSQL database keep of its catalog: a
// description is kept (and shared by every connection of the same string)
// until something shows it out of date: a name the kept names lack, a
// statement that fails on the schema, or a tables list that changed. A name
// that found nothing is looked up afresh the next time.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host/adodb/backend.h"
#include "host/adodb/connection_string.h"
#include "host/adodb/postgres/pg_provider.h"
#include "support/postgres_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::PostgresFixture;

constexpr const char* kShop = R"sql(
  CREATE TABLE orders(id INTEGER PRIMARY KEY, title TEXT);
  INSERT INTO orders VALUES (1, 'first');
)sql";

std::unique_ptr<ConnectionBackend> Connect(const PostgresFixture& db) {
  return postgres::PostgresProvider().Connect(ConnectionString::Parse(db.connection_string()));
}

std::vector<std::string> ColumnNames(const TableInfo& table) {
  std::vector<std::string> names;
  for (const TableColumn& column : table.columns) names.push_back(column.name);
  return names;
}

using Names = std::vector<std::string>;

TEST(PostgresCatalogCache, AnUnknownNameBringsEveryConnectionUpToDate) {
  PostgresFixture db(kShop);
  auto first = Connect(db);
  auto second = Connect(db);
  EXPECT_EQ(first->Rewrite("select [TITLE] from orders"), "select \"title\" from \"orders\"");
  EXPECT_EQ(ColumnNames(first->DescribeTable({"", "orders"})), (Names{"id", "title"}));

  db.Run("ALTER TABLE orders ADD COLUMN note TEXT");
  // Kept, on both connections: nothing has shown it out of date yet.
  EXPECT_EQ(ColumnNames(first->DescribeTable({"", "orders"})), (Names{"id", "title"}));
  EXPECT_EQ(ColumnNames(second->DescribeTable({"", "orders"})), (Names{"id", "title"}));

  // The rewrite meets a name the kept names lack, reads them afresh, finds
  // them changed and forgets the rest.
  EXPECT_EQ(first->Rewrite("select [NOTE] from orders"), "select \"note\" from \"orders\"");
  EXPECT_EQ(ColumnNames(second->DescribeTable({"", "orders"})), (Names{"id", "title", "note"}));
}

TEST(PostgresCatalogCache, AStatementThatFailsOnTheSchemaForgetsWhatWasKept) {
  PostgresFixture db(kShop);
  auto first = Connect(db);
  auto second = Connect(db);
  EXPECT_EQ(ColumnNames(first->DescribeTable({"", "orders"})), (Names{"id", "title"}));

  db.Run("ALTER TABLE orders DROP COLUMN title");
  EXPECT_THROW(second->Prepare("SELECT title FROM orders")->Step(), ScriptError);  // 42703
  EXPECT_EQ(ColumnNames(first->DescribeTable({"", "orders"})), (Names{"id"}));
}

TEST(PostgresCatalogCache, TablesMadeDroppedOrMadeAnewAreSeenAtOnce) {
  PostgresFixture db(kShop);
  auto connection = Connect(db);
  auto listed = [&](const std::string& name) {
    std::vector<TableEntry> tables = connection->ListTables();
    return std::any_of(tables.begin(), tables.end(),
                       [&](const TableEntry& entry) { return entry.name == name; });
  };
  // A name that finds nothing is not kept as missing.
  EXPECT_FALSE(connection->DescribeTable({"", "later"}).exists);
  db.Run("CREATE TABLE later(x INTEGER)");
  EXPECT_TRUE(connection->DescribeTable({"", "later"}).exists);

  // The tables list is read each time; a table made anew under its old name
  // (another OID) forgets the description kept of the old one.
  EXPECT_TRUE(listed("orders"));
  EXPECT_EQ(ColumnNames(connection->DescribeTable({"", "orders"})), (Names{"id", "title"}));
  db.Run("DROP TABLE orders; CREATE TABLE orders(code TEXT)");
  EXPECT_TRUE(listed("orders"));
  EXPECT_EQ(ColumnNames(connection->DescribeTable({"", "orders"})), (Names{"code"}));
  db.Run("DROP TABLE later");
  EXPECT_FALSE(listed("later"));
  EXPECT_FALSE(connection->DescribeTable({"", "later"}).exists);
}

}  // namespace
}  // namespace tabrix::adodb
