// What a SQLite connection keeps of its schema: a description, the tables
// list, a statement's columns and the rewrite's names are read once and
// then answered from memory after a schema version check, and a change made
// by another connection, or a temporary table of the connection's own, is
// seen by the next use.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/adodb/connection_string.h"
#include "host/adodb/sqlite/sqlite_connection.h"
#include "host/adodb/sqlite/sqlite_provider.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;

constexpr const char* kShop = R"sql(
  CREATE TABLE customers(id INTEGER PRIMARY KEY, name TEXT);
  CREATE TABLE orders(id INTEGER PRIMARY KEY, customer_id INTEGER, placed DATE);
  INSERT INTO customers VALUES (1, 'Ann');
  INSERT INTO orders VALUES (1, 1, '2008-06-05');
)sql";

// A connection of the SQLite provider and the statements it runs, as
// SQLite traces them.
class TracedConnection {
 public:
  explicit TracedConnection(const std::string& connection_string)
      : backend_(sqlite::SqliteProvider().Connect(ConnectionString::Parse(connection_string))) {
    auto& sqlite = dynamic_cast<sqlite::SqliteConnection&>(*backend_);
    sqlite3_trace_v2(sqlite.handle(), SQLITE_TRACE_STMT, &TracedConnection::Note, this);
  }

  ConnectionBackend& operator*() { return *backend_; }
  ConnectionBackend* operator->() { return backend_.get(); }

  // The statements run since the last call.
  std::vector<std::string> Take() { return std::exchange(statements_, {}); }

 private:
  static int Note(unsigned, void* self, void* statement, void*) {
    static_cast<TracedConnection*>(self)->statements_.push_back(
        sqlite3_sql(static_cast<sqlite3_stmt*>(statement)));
    return 0;
  }

  std::unique_ptr<ConnectionBackend> backend_;
  std::vector<std::string> statements_;
};

bool ReadsCatalog(const std::string& sql) {
  return sql.find("sqlite_schema") != std::string::npos ||
         sql.find("table_xinfo") != std::string::npos;
}

std::vector<std::string> ColumnNames(const TableInfo& table) {
  std::vector<std::string> names;
  for (const TableColumn& column : table.columns) names.push_back(column.name);
  return names;
}

bool Lists(ConnectionBackend& db, const std::string& table) {
  std::vector<TableEntry> tables = db.ListTables();
  return std::any_of(tables.begin(), tables.end(),
                     [&](const TableEntry& entry) { return entry.name == table; });
}

TEST(SqliteSchemaCache, WhatWasReadIsAnsweredAfterAVersionCheckAlone) {
  SqliteFixture file(kShop);
  struct {
    const char* what;
    std::function<void(ConnectionBackend&)> use;
  } cases[] = {
      {"a description", [](ConnectionBackend& db) { db.DescribeTable({"", "orders"}); }},
      {"the tables list", [](ConnectionBackend& db) { db.ListTables(); }},
      {"a statement's columns",
       [](ConnectionBackend& db) {
         auto statement = db.Prepare("SELECT o.id, c.name FROM orders o JOIN customers c "
                                     "ON c.id = o.customer_id");
         statement->Step();
         statement->DescribeColumns();
       }},
      {"the rewrite's names",
       [](ConnectionBackend& db) { db.Rewrite("select * from orders where placed = '2008-6-5'"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TracedConnection db(file.connection_string());
    c.use(*db);
    std::vector<std::string> first = db.Take();
    EXPECT_TRUE(std::any_of(first.begin(), first.end(), ReadsCatalog));
    c.use(*db);
    std::vector<std::string> again = db.Take();
    EXPECT_FALSE(std::any_of(again.begin(), again.end(), ReadsCatalog));
    EXPECT_EQ(std::count(again.begin(), again.end(), "PRAGMA main.schema_version"), 1);
  }
}

TEST(SqliteSchemaCache, AChangeByAnotherConnectionIsSeenByTheNextUse) {
  struct {
    const char* change;
    std::function<void(ConnectionBackend&)> expect;
  } cases[] = {
      {"ALTER TABLE orders ADD COLUMN note TEXT",
       [](ConnectionBackend& db) {
         EXPECT_EQ(ColumnNames(db.DescribeTable({"", "orders"})),
                   (std::vector<std::string>{"id", "customer_id", "placed", "note"}));
       }},
      {"DROP TABLE customers",
       [](ConnectionBackend& db) {
         EXPECT_FALSE(db.DescribeTable({"", "customers"}).exists);
         EXPECT_FALSE(Lists(db, "customers"));
       }},
      {"CREATE TABLE shipments(id INTEGER PRIMARY KEY, sent DATE)",
       [](ConnectionBackend& db) {
         EXPECT_TRUE(Lists(db, "shipments"));
         EXPECT_TRUE(db.DescribeTable({"", "shipments"}).exists);
         // The new table's date column turns the literal into ISO text.
         EXPECT_EQ(db.Rewrite("select * from shipments where sent = '2008-6-5'"),
                   "select * from shipments where sent = '2008-06-05'");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.change);
    SqliteFixture file(kShop);
    TracedConnection db(file.connection_string());
    // Everything read once, and kept.
    db->ListTables();
    db->DescribeTable({"", "orders"});
    db->DescribeTable({"", "customers"});
    db->DescribeTable({"", "shipments"});
    db->Rewrite("select * from shipments where sent = '2008-6-5'");
    file.Run(c.change);
    c.expect(*db);
  }
}

TEST(SqliteSchemaCache, ATemporaryTableOfTheConnectionsOwnIsSeen) {
  struct {
    const char* how;
    std::function<void(ConnectionBackend&, const char*)> run;
  } cases[] = {
      {"executed", [](ConnectionBackend& db, const char* sql) { db.Execute(sql, {}); }},
      {"stepped", [](ConnectionBackend& db, const char* sql) { db.Prepare(sql)->Step(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    SqliteFixture file(kShop);
    TracedConnection db(file.connection_string());
    EXPECT_EQ(db->DescribeTable({"", "orders"}).ref.schema, "main");
    // A temporary table of the same name hides the main one.
    c.run(*db, "CREATE TEMP TABLE orders(x TEXT)");
    TableInfo orders = db->DescribeTable({"", "orders"});
    EXPECT_EQ(orders.ref.schema, "temp");
    EXPECT_EQ(ColumnNames(orders), std::vector<std::string>{"x"});
  }
}

}  // namespace
}  // namespace tabrix::adodb
