// The demo's data and site file: the same size always gives the same rows;
// a loaded demo keeps its references whole, also after deletes; the site
// file loads, offers drop-downs only for small tables, and only the users'
// password lines are rewritten.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "access/password_hash.h"
#include "site/config.h"
#include "site/demo/demo_data.h"
#include "site/demo/demo_site_config.h"
#include "site/demo/sqlite_demo_loader.h"
#include "support/tabrix_process.h"

namespace tabrix::site::demo {
namespace {

namespace fs = std::filesystem;

// A digest of every statement and value a demo of `orders` orders runs.
std::size_t DemoDigest(std::int64_t orders) {
  std::size_t digest = 0;
  auto mix = [&](std::size_t h) { digest = digest * 1099511628211ull ^ h; };
  WriteDemo(SqliteDialect(), orders, [&](const std::string& sql, const std::vector<DemoValue>& values) {
    mix(std::hash<std::string>{}(sql));
    for (const DemoValue& value : values) {
      mix(value.index());
      std::visit(
          [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, DemoBlob>) mix(std::hash<std::string>{}(v.bytes));
            else if constexpr (!std::is_same_v<T, std::monostate>) mix(std::hash<T>{}(v));
          },
          value);
    }
  });
  return digest;
}

TEST(DemoData, TheSameSizeGivesTheSameRows) {
  EXPECT_EQ(DemoDigest(120), DemoDigest(120));
  EXPECT_NE(DemoDigest(120), DemoDigest(121));
}

TEST(DemoData, SizesOutsideTheBoundsAreRefused) {
  auto ignore = [](const std::string&, const std::vector<DemoValue>&) {};
  for (std::int64_t orders : {std::int64_t{0}, std::int64_t{-1}, kMaxDemoOrders + 1})
    EXPECT_THROW(WriteDemo(SqliteDialect(), orders, ignore), std::invalid_argument) << orders;
}

class LoadedDemo : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = folder_.path() / "demo.db";
    lines_ = WriteSqliteDemo(file_, 300);
    ASSERT_EQ(sqlite3_open(file_.c_str(), &db_), SQLITE_OK);
  }
  void TearDown() override { sqlite3_close(db_); }

  // The first column of the first row of `sql` as text ("" for NULL).
  std::string One(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
        << sql << ": " << sqlite3_errmsg(db_);
    std::string value;
    if (statement && sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
      value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    return value;
  }
  void Run(const std::string& sql) {
    ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sql << ": " << sqlite3_errmsg(db_);
  }

  testing::TestFolder folder_;
  fs::path file_;
  std::int64_t lines_ = 0;
  sqlite3* db_ = nullptr;
};

TEST_F(LoadedDemo, RowsReferToRowsThatExist) {
  struct Case {
    const char* what;
    const char* sql;
    std::string expected;
  };
  const Case cases[] = {
      {"orders", "SELECT COUNT(*) FROM orders", "300"},
      {"lines reported", "SELECT COUNT(*) FROM order_items", std::to_string(lines_)},
      {"the size is recorded", "PRAGMA user_version", "300"},
      {"the file stays in WAL mode", "PRAGMA journal_mode", "wal"},
      {"customers in proportion", "SELECT COUNT(*) FROM customers", "30"},
      {"orders of unknown customers",
       "SELECT COUNT(*) FROM orders WHERE customer_id NOT IN (SELECT id FROM customers)", "0"},
      {"orders of unknown employees",
       "SELECT COUNT(*) FROM orders WHERE employee_id NOT IN (SELECT id FROM employees)", "0"},
      {"lines of unknown orders",
       "SELECT COUNT(*) FROM order_items WHERE order_id NOT IN (SELECT id FROM orders)", "0"},
      {"lines of unknown products",
       "SELECT COUNT(*) FROM order_items WHERE product_id NOT IN (SELECT id FROM products)", "0"},
      {"orders without 1 to 4 lines",
       "SELECT COUNT(*) FROM orders o WHERE (SELECT COUNT(*) FROM order_items i "
       "WHERE i.order_id = o.id) NOT BETWEEN 1 AND 4",
       "0"},
      {"order dates outside the two years",
       "SELECT COUNT(*) FROM orders WHERE order_date NOT BETWEEN '2023-01-01' AND '2024-12-31'",
       "0"},
      {"shipped orders without a ship time",
       "SELECT COUNT(*) FROM orders WHERE status IN (2, 3) AND shipped_at IS NULL", "0"},
      {"pictures that are not GIFs",
       "SELECT COUNT(*) FROM products WHERE substr(picture, 1, 6) <> CAST('GIF89a' AS BLOB)", "0"},
      {"the view's total of order 7",
       "SELECT (SELECT total FROM order_totals WHERE order_id = 7) = (SELECT ROUND(SUM(quantity * "
       "unit_price * (1 - discount)), 2) FROM order_items WHERE order_id = 7)",
       "1"},
      {"the order date is indexed",
       "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'orders' AND "
       "sql LIKE '%(order_date)%'",
       "1"},
  };
  for (const Case& c : cases) EXPECT_EQ(One(c.sql), c.expected) << c.what;
}

TEST_F(LoadedDemo, DeletesKeepTheReferencesWhole) {
  std::string customer = One("SELECT customer_id FROM orders WHERE id = 5");
  Run("DELETE FROM orders WHERE id = 5");
  EXPECT_EQ(One("SELECT COUNT(*) FROM order_items WHERE order_id = 5"), "0");
  Run("DELETE FROM customers WHERE id = " + customer);
  EXPECT_EQ(One("SELECT COUNT(*) FROM orders WHERE customer_id = " + customer), "0");
  EXPECT_NE(One("SELECT COUNT(*) FROM orders WHERE customer_id IS NULL"), "0");
  Run("DELETE FROM products WHERE id = 1");
  EXPECT_EQ(One("SELECT COUNT(*) FROM order_items WHERE product_id = 1"), "0");
}

TEST(DemoSiteFile, LoadsAndOffersDropDownsOnlyForSmallTables) {
  struct Case {
    std::int64_t orders;
    const char* customers_relation;
  };
  const Case cases[] = {
      {2000, "orders.customer_id,customers,id,name,yes"},
      {1000000, "orders.customer_id,customers,id,name,no"},
  };
  for (const Case& c : cases) {
    SiteConfig config = ParseConfig(DemoSiteToml(CountsFor(c.orders), "k"), "/demo/site.toml");
    std::string relation;
    for (const auto& [key, value] : config.session)
      if (key == "set_relation1") relation = value.string();
    EXPECT_EQ(relation, c.customers_relation) << c.orders;
    EXPECT_EQ(config.actions.size(), 3u);
  }
}

TEST(DemoSiteFile, OnlyThePasswordLinesAreRewritten) {
  std::string toml =
      "# set_user1_password is rewritten\n"
      "set_user1_password = \"old1\"\n"
      "set_user10_password = \"ten\"\n"
      "set_user2_password=\"old2\"\n"
      "set_user2_name = \"Bo\"\n";
  EXPECT_EQ(WithPasswordHashes(toml, {"h1", "h2"}),
            "# set_user1_password is rewritten\n"
            "set_user1_password = \"h1\"\n"
            "set_user10_password = \"ten\"\n"
            "set_user2_password = \"h2\"\n"
            "set_user2_name = \"Bo\"\n");
  EXPECT_THROW(WithPasswordHashes(toml, {"h1", "h2", "h3"}), std::runtime_error);
}

TEST(DemoSiteFile, AFreshSiteLetsNobodyIn) {
  SiteConfig config = ParseConfig(DemoSiteToml(CountsFor(100), "k"), "/demo/site.toml");
  int passwords = 0;
  for (const auto& [key, value] : config.session) {
    if (key.ends_with("_password")) {
      ++passwords;
      EXPECT_TRUE(value.string().starts_with("$argon2id$")) << key;
      EXPECT_FALSE(VerifyPasswordHash(value.string(), "")) << key;
    }
  }
  EXPECT_EQ(passwords, 3);
}

}  // namespace
}  // namespace tabrix::site::demo
