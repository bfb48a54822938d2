// A database served in one command, as a newcomer runs it: `tabrix serve
// DATABASE` with no configuration, `--readonly`, and `tabrix init`'s
// configuration served as it stands. Each drives the real program over
// HTTP on a small shop whose foreign keys and CHECK list make the site.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>

#include "host/adodb/connection.h"
#include "host/adodb/connection_string.h"
#include "host/adodb/recordset.h"
#include "host/url.h"
#include "host/variant_ops.h"
#include "support/site_client.h"
#include "support/tabrix_process.h"
#include "support/tabrix_server.h"
#include "support/test_database.h"

namespace tabrix::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kShop =
    "CREATE TABLE customers (id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL, city "
    "VARCHAR(40));"
    "CREATE TABLE employees (id INTEGER PRIMARY KEY, name VARCHAR(40), "
    "manager_id INTEGER REFERENCES employees(id));"
    "CREATE TABLE orders (id INTEGER PRIMARY KEY, customer_id INTEGER REFERENCES customers(id), "
    "status VARCHAR(10) CHECK (status IN ('new', 'shipped')), placed DATE);"
    "CREATE TABLE shipments (order_id INTEGER, line INTEGER, PRIMARY KEY (order_id, line));"
    "CREATE TABLE parcels (id INTEGER PRIMARY KEY, order_id INTEGER, line INTEGER, "
    "FOREIGN KEY (order_id, line) REFERENCES shipments(order_id, line));"
    "CREATE VIEW big_orders AS SELECT id, customer_id FROM orders;"
    "CREATE TABLE tags (code VARCHAR(10) PRIMARY KEY);"
    "CREATE TABLE tagged (id INTEGER PRIMARY KEY, tag VARCHAR(10) REFERENCES tags(code));"
    "CREATE TABLE days (day DATE PRIMARY KEY);"
    "CREATE TABLE events (id INTEGER PRIMARY KEY, day DATE REFERENCES days(day));"
    "INSERT INTO tags VALUES ('7'), ('007');"
    "INSERT INTO tagged VALUES (1, '7'), (2, '007'), (3, '007');"
    "INSERT INTO days VALUES ('2024-01-02');"
    "INSERT INTO events VALUES (1, '2024-01-02'), (2, '2024-01-02');"
    "INSERT INTO customers VALUES (1, 'Ada', 'Oslo'), (2, 'Bo', 'Rome');"
    "INSERT INTO employees VALUES (1, 'Cy', NULL);"
    "INSERT INTO orders VALUES (10, 1, 'new', '2024-01-02'), (11, 1, 'shipped', '2024-02-03'),"
    " (12, 2, 'new', '2024-03-04');";

// What a person types after `tabrix serve`: the SQLite file, or a
// postgresql:// address of the test's database.
std::string DatabaseArgument(const TestDatabase& db) {
  auto parts = adodb::ConnectionString::Parse(db.connection_string());
  if (TestEngine() == "sqlite") return *parts.Get("data source");
  // The test server's names hold no blank, which UrlEncode would write as "+".
  return "postgresql://" + UrlEncode(*parts.Get("user id")) + "@/" +
         UrlEncode(*parts.Get("database")) + "?host=" + UrlEncode(*parts.Get("host")) +
         "&port=" + *parts.Get("port");
}

// The password of "login admin PASSWORD" in `text`; "" when none.
std::string AdminPassword(const std::string& text) {
  std::smatch match;
  static const std::regex kLogin("login admin (\\S+)");
  return std::regex_search(text, match, kLogin) ? match[1].str() : "";
}

// The number of rows of `table`, read through the facade.
long long RowCount(const TestDatabase& db, const std::string& table) {
  auto connection = adodb::NewConnection();
  connection->Open(Variant(db.connection_string()));
  auto rs = adodb::NewRecordset();
  rs->Open(Variant("SELECT COUNT(*) FROM " + table), Variant(connection),
           Variant(adodb::kForwardOnly), Variant(adodb::kReadOnly));
  long long count = ToLong(rs->Value(Variant(0L)));
  rs->Close();
  connection->Close();
  return count;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class OneCommandSite : public ::testing::Test {
 protected:
  // Serves `args` (a database or a configuration) and logs the
  // administrator in with the password found in `password_source`'s text
  // (the server's own output when empty).
  void Serve(std::vector<std::string> args, const std::string& password_text = {}) {
    args.insert(args.begin(), {"--listen", "127.0.0.1:0"});
    TabrixServerLaunch launch;
    launch.read_stdout = true;
    server_.emplace(args, folder_.path(), launch);
    ASSERT_TRUE(server_->listening()) << server_->Stderr();
    ASSERT_TRUE(server_->WaitForStderr(
        [&](const std::string& text) { return !AdminPassword(password_text + text).empty(); }))
        << server_->Stderr();
    client_.emplace(server_->port());
    ASSERT_TRUE(client_->Login("admin", AdminPassword(password_text.empty() ? server_->Stderr()
                                                                           : password_text)))
        << server_->Stderr();
  }

  // The code of `table` in the menu's links; fails the test when missing.
  std::string Code(const std::string& caption) {
    std::string code = client_->TableCode(caption);
    EXPECT_FALSE(code.empty()) << "no menu entry " << caption << "\n" << client_->Get("/").body;
    return code;
  }

  // What every drafted site shows: every table and the view in the menu,
  // an order's customer by name with a link, the orders of a customer
  // under its record with their count, and the status list.
  void ExpectTheShopsSite(bool may_add = true) {
    std::string home = client_->Get("/").body;
    for (const char* caption : {"Customers", "Employees", "Orders", "Shipments", "Parcels",
                                "Big orders", "Tags", "Tagged", "Days", "Events"})
      EXPECT_FALSE(client_->TableCode(caption).empty()) << caption << " missing:\n" << home;
    std::string customers = Code("Customers");
    std::string orders = Code("Orders");

    std::string list = client_->Get("/Search.asp?t=" + orders + "&go=1").body;
    EXPECT_TRUE(Has(list, "Info.asp?t=" + customers + "&id=1")) << list;
    EXPECT_TRUE(Has(list, ">Ada<")) << list;

    std::string record = client_->Get("/Info.asp?t=" + customers + "&id=1").body;
    EXPECT_TRUE(Has(record, "Referred to by")) << record;
    EXPECT_TRUE(Has(record, "Search.asp?t=" + orders + "&amp;go=1&amp;customer_id=1\">Orders</a>"))
        << record;
    EXPECT_TRUE(Has(record, "(2)")) << record;
    // A customer nobody refers to lists nothing.
    std::string lonely_record = client_->Get("/Info.asp?t=" + customers + "&id=2").body;
    EXPECT_TRUE(Has(lonely_record, "(1)")) << lonely_record;

    // A text key is counted exactly; the list's search would match '007'
    // for '7', so it gets no link. A date key is compared as a date.
    std::string tag = client_->Get("/Info.asp?t=" + Code("Tags") + "&id=7").body;
    EXPECT_TRUE(Has(tag, "<li>Tagged (1)</li>")) << tag;
    std::string day = client_->Get("/Info.asp?t=" + Code("Days") + "&id=2024-01-02").body;
    EXPECT_TRUE(Has(day, "<li>Events (2)</li>")) << day;

    if (!may_add) return;
    std::string add = client_->Get("/Add.asp?t=" + orders).body;
    EXPECT_TRUE(Has(add, "<option value=\"shipped\"")) << add;
  }

  TestFolder folder_;
  std::optional<TabrixServer> server_;
  std::optional<SiteClient> client_;
};

TEST_F(OneCommandSite, ADatabaseAloneIsServedWithItsForeignKeysAsRelations) {
  TestDatabase db{kShop};
  Serve({DatabaseArgument(db)});
  ExpectTheShopsSite();
  std::string log = server_->Stderr();
  EXPECT_TRUE(Has(log, "refers to its own table")) << log;
  EXPECT_TRUE(Has(log, "has 2 columns")) << log;
  EXPECT_TRUE(Has(log, "Tabrix: http://127.0.0.1:" + std::to_string(server_->port()) + "/"))
      << log;

  // The administrator may change what they see.
  std::string customers = Code("Customers");
  HttpReply updated =
      client_->Post("/Update.asp", "go=1&t=" + customers + "&id=2&Checked_name=Yes&name=Bea");
  EXPECT_TRUE(updated.body.starts_with("<script")) << updated.body;
  EXPECT_TRUE(Has(client_->Get("/Info.asp?t=" + customers + "&id=2").body, "Bea"));
  EXPECT_EQ(server_->Stop(), 0);
}

TEST_F(OneCommandSite, ReadonlyShowsEverythingAndWritesNothing) {
  TestDatabase db{kShop};
  std::string argument = DatabaseArgument(db);
  // The file and its write-ahead log, byte for byte: a write would change
  // one of them.
  auto file_bytes = [&] {
    std::string bytes;
    for (const std::string& path : {argument, argument + "-wal"}) {
      std::ifstream in(path, std::ios::binary);
      bytes += std::string(std::istreambuf_iterator<char>(in), {}) + "\n--\n";
    }
    return bytes;
  };
  std::optional<std::string> bytes_before;
  if (TestEngine() == "sqlite") bytes_before = file_bytes();
  Serve({"--readonly", argument});
  ExpectTheShopsSite(/*may_add=*/false);
  std::string customers = Code("Customers");
  std::string record = client_->Get("/Info.asp?t=" + customers + "&id=1").body;
  EXPECT_FALSE(Has(record, "Update.asp")) << record;
  client_->Post("/Update.asp", "go=1&t=" + customers + "&id=1&Checked_name=Yes&name=Changed");
  client_->Post("/Add.asp", "go=1&t=" + customers + "&id=3&name=New");
  client_->Post("/Action.asp", "t=" + customers + "&a=1&c=1&onay=1&id1=1|Ada");
  EXPECT_EQ(server_->Stop(), 0);

  EXPECT_EQ(RowCount(db, "customers"), 2);
  if (bytes_before) {
    EXPECT_EQ(file_bytes(), *bytes_before) << "the database's files changed";
  }
}

TEST_F(OneCommandSite, InitsConfigurationServedAsItStandsGivesTheSameSite) {
  TestDatabase db{kShop};
  ProcessRun init = RunTabrix(folder_.path(), {"init", DatabaseArgument(db)});
  ASSERT_EQ(init.exit_code, 0) << init.err;
  EXPECT_TRUE(Has(init.out, " = \"orders.customer_id,customers,id,name,yes\"\n"))
      << init.out;
  EXPECT_TRUE(Has(init.out, "set_select1 = \"orders.status,new,new,shipped,shipped\""))
      << init.out;
  EXPECT_TRUE(Has(init.out, "set_user1_CanTable = ")) << init.out;
  EXPECT_FALSE(Has(init.out, AdminPassword(init.err))) << "the password is in the file";
  std::ofstream(folder_.path() / "site.toml") << init.out;
  Serve({"--config", "site.toml"}, init.err);
  ExpectTheShopsSite();
  EXPECT_EQ(server_->Stop(), 0);

  // A table the menu leaves out is not listed as referring either.
  std::string edited = init.out;
  edited.insert(edited.find("[session]\n") + 10, "set_disabled_tables = \"orders\"\n");
  std::ofstream(folder_.path() / "site.toml") << edited;
  Serve({"--config", "site.toml"}, init.err);
  std::string record = client_->Get("/Info.asp?t=" + Code("Customers") + "&id=1").body;
  EXPECT_TRUE(Has(record, "Ada")) << record;
  EXPECT_FALSE(Has(record, "Orders")) << record;
  EXPECT_EQ(server_->Stop(), 0);
}

}  // namespace
}  // namespace tabrix::testing
