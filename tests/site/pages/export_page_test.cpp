// Export.asp: the whole result of a list's search, in its order, as CSV and
// JSON: hidden fields left out, related captions beside their keys, dates
// in ISO 8601; the list page's refusals and 400s; the list page's links.
#include <cctype>

#include <nlohmann/json.hpp>

#include "site/pages/site_fixture.h"

namespace tabrix::site::testing {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Orders with a customer (related to Customers), a date, a date-time, a
// yes/no and a field the first user may not view.
constexpr const char* kMoreOrders = R"sql(
  CREATE TABLE Customers (CustomerId INTEGER PRIMARY KEY, Name TEXT);
  INSERT INTO Customers VALUES (1, 'Acme');
  INSERT INTO Customers VALUES (2, 'Bolt');
  ALTER TABLE Orders ADD COLUMN CustomerId INTEGER;
  ALTER TABLE Orders ADD COLUMN Day DATE;
  ALTER TABLE Orders ADD COLUMN Stamp TIMESTAMP;
  ALTER TABLE Orders ADD COLUMN Paid BOOLEAN;
  ALTER TABLE Orders ADD COLUMN Secret TEXT;
  UPDATE Orders SET CustomerId = 1, Day = '2024-05-01', Stamp = '2024-05-01 09:30:00',
    Paid = TRUE, Secret = 's1' WHERE OrderId = 1;
  UPDATE Orders SET Paid = FALSE, Secret = 's2' WHERE OrderId = 2;
  INSERT INTO Orders VALUES (4, 'Anna', 3, 2, '2023-12-31', '2024-01-02 00:00:00', FALSE, 's4');
  INSERT INTO Orders VALUES (5, 'Dan', 20, NULL, NULL, NULL, TRUE, 's5');
)sql";

class ExportPage : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    db_->Run(kMoreOrders);
  }
  std::string ExtraSession() const override {
    return "set_relation1 = \"Orders.CustomerId,Customers,CustomerId,Name,no\"\n"
           "set_user1_CantField = \"Orders.Secret[V]\"\n";
  }
  std::string AdaTables() const override { return "Orders[VAUDXE],Customers[V]"; }

  // The code of Orders: its menu link (Customers comes first in the menu).
  std::string OrdersCode(const std::string& cookie) {
    std::string body = Get("/", cookie).body;
    size_t end = body.find("&go=1\"><b>Orders</b>");
    size_t start = body.rfind("Search.asp?t=", end);
    if (end == std::string::npos || start == std::string::npos) return "";
    return body.substr(start + 13, end - start - 13);
  }

  // The whole body of an answer, its stream read to the end; `pieces`
  // counts the stream's pieces.
  static std::string Body(HttpResponse& response, int* pieces = nullptr) {
    if (!response.stream) return response.body;
    std::string all;
    int n = 0;
    for (bool more = true; more && n < 1'000'000; ++n) {
      std::string piece;
      more = response.stream->Next(piece);
      all += piece;
    }
    response.stream.reset();
    if (pieces != nullptr) *pieces = n;
    return all;
  }

  // The search the tests export: customers with an "a", by amount upwards,
  // two to a page, the second page.
  std::string Search(const std::string& code) const {
    return "t=" + code + "&go=1&Customer=a&o=Amount&o2=Asc&c=2&p=2";
  }
};

TEST_F(ExportPage, CsvHoldsTheWholeResultInItsOrderWithCaptionsAndIsoDates) {
  std::string cookie = Login("ada", "pw1");
  HttpResponse response = Get("/Export.asp?" + Search(OrdersCode(cookie)) + "&format=csv", cookie);
  ASSERT_EQ(response.status, 200) << response.body;
  EXPECT_EQ(response.Header("content-type"), "text/csv; charset=utf-8");
  EXPECT_EQ(response.Header("content-disposition"), "attachment; filename=\"Orders.csv\"");
  EXPECT_EQ(Body(response),
            "\xEF\xBB\xBF"
            "Orderid,Customer,Amount,Customerid,Customerid (Name),Day,Stamp,Paid\r\n"
            "4,Anna,3,2,Bolt,2023-12-31,2024-01-02T00:00:00,False\r\n"
            "1,Ada,10,1,Acme,2024-05-01,2024-05-01T09:30:00,True\r\n"
            "5,Dan,20,,,,,True\r\n");
}

TEST_F(ExportPage, JsonHoldsTheSameRowsKeyedByNameWithTypedValues) {
  std::string cookie = Login("ada", "pw1");
  HttpResponse response = Get("/Export.asp?" + Search(OrdersCode(cookie)) + "&format=json", cookie);
  ASSERT_EQ(response.status, 200) << response.body;
  EXPECT_EQ(response.Header("content-disposition"), "attachment; filename=\"Orders.json\"");
  // The keys are the fields' names as the engine keeps them (PostgreSQL
  // folds the unquoted names the fixture adds to lower case).
  nlohmann::ordered_json rows;
  for (const auto& object : nlohmann::ordered_json::parse(Body(response))) {
    nlohmann::ordered_json row;
    for (const auto& [key, value] : object.items()) row[Lower(key)] = value;
    rows.push_back(row);
  }
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].dump(),
            R"({"orderid":4,"customer":"Anna","amount":3,"customerid":2,"customerid_caption":"Bolt",)"
            R"("day":"2023-12-31","stamp":"2024-01-02T00:00:00","paid":false})");
  EXPECT_EQ(rows[1]["paid"], true);
  EXPECT_EQ(rows[1]["stamp"], "2024-05-01T09:30:00");
  EXPECT_EQ(rows[2]["orderid"], 5);
  EXPECT_TRUE(rows[2]["customerid"].is_null());
  EXPECT_TRUE(rows[2]["customerid_caption"].is_null());
  EXPECT_TRUE(rows[2]["day"].is_null());

  // Nothing found is an empty array, still a whole document.
  HttpResponse none = Get("/Export.asp?t=" + OrdersCode(cookie) + "&go=1&Customer=zz&format=json", cookie);
  EXPECT_EQ(nlohmann::json::parse(Body(none)).size(), 0u);
}

// Who may not export, and requests that are no export, get what the list
// page and the bulk export give them.
TEST_F(ExportPage, RefusalsAndMalformedRequests) {
  std::string ada = Login("ada", "pw1");
  std::string code = OrdersCode(ada);
  struct Case {
    const char* user;
    const char* password;
    std::string query;
    int status;
    const char* says;
  } cases[] = {
      {"bob", "pw2", "t=" + code + "&format=csv", 403, "Access Denied!"},
      {"cy", "pw3", "t=" + code + "&format=csv", 302, ""},
      {"ada", "pw1", "t=" + code + "&format=xml", 400, "format"},
      {"ada", "pw1", "t=" + code + "&go=1&Paid=maybe&format=csv", 400, "maybe"},
      {"ada", "pw1", "t=nosuchcode&format=csv", 404, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + " " + c.query);
    std::string cookie = std::string(c.user) == "ada" ? ada : Login(c.user, c.password);
    HttpResponse response = Get("/Export.asp?" + c.query, cookie);
    EXPECT_EQ(response.status, c.status);
    EXPECT_FALSE(response.stream);
    EXPECT_TRUE(Contains(response.body, c.says)) << response.body;
  }
  HttpResponse anonymous = Get("/Export.asp?t=" + code + "&format=csv");
  EXPECT_EQ(anonymous.status, 302);
  EXPECT_EQ(anonymous.Header("location"), "Login.asp");
}

// Twenty thousand rows come whole, in order, in pieces of bounded size.
TEST_F(ExportPage, ALargeResultComesWholeInPieces) {
  db_->Run(R"sql(
    INSERT INTO Orders (OrderId, Customer, Amount)
      WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM n WHERE i < 20099)
      SELECT i, 'bulk', i FROM n;
  )sql");
  std::string cookie = Login("ada", "pw1");
  HttpResponse response = Get(
      "/Export.asp?t=" + OrdersCode(cookie) + "&go=1&Customer=bulk&o=OrderId&o2=Asc&format=csv",
      cookie);
  ASSERT_EQ(response.status, 200) << response.body;
  int pieces = 0;
  std::string csv = Body(response, &pieces);
  EXPECT_GT(pieces, 2);
  std::string expected = "\xEF\xBB\xBF" "Orderid,Customer,Amount,Customerid,Customerid (Name),Day,Stamp,Paid\r\n";
  for (int i = 100; i < 20100; ++i)
    expected += std::to_string(i) + ",bulk," + std::to_string(i) + ",,,,,\r\n";
  EXPECT_TRUE(csv == expected) << csv.size() << " bytes of " << expected.size();
}

// The list page offers the export of its whole result, with its search and
// sort, to a user who may export, once it has rows; the component's output
// before the links is as it was.
TEST_F(ExportPage, TheListPageLinksToTheExportOfItsResult) {
  std::string ada = Login("ada", "pw1");
  std::string code = OrdersCode(ada);
  std::string page = Get("/Search.asp?" + Search(code), ada).body;
  std::string base = "Export.asp?t=" + code + "&amp;go=1&amp;Customer=a&amp;o=Amount&amp;o2=Asc&amp;format=";
  EXPECT_TRUE(Contains(page, "<p class=\"export-all\">Export all 3 rows: <a href=\"" + base +
                                 "csv\" download>CSV</a> &middot; <a href=\"" + base +
                                 "json\" download>JSON</a></p>"))
      << page;

  EXPECT_FALSE(Contains(Get("/Search.asp?t=" + code, ada).body, "export-all"));  // not searched
  EXPECT_FALSE(Contains(Get("/Search.asp?t=" + code + "&go=1&Customer=zz", ada).body, "export-all"));
  std::string bob = Login("bob", "pw2");
  EXPECT_FALSE(Contains(Get("/Search.asp?" + Search(code), bob).body, "export-all"));
}

}  // namespace
}  // namespace tabrix::site::testing
