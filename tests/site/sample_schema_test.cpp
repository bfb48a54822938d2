// The whole site on a trading company's schema (fixtures/trading.sql) through
// `tabrix call`: a dozen tables with foreign keys, composite keys, generated
// keys, text, money, numeric, date and picture columns, and a table and
// columns whose names hold spaces. Every page must work on such a schema as
// it stands, without the site renaming anything.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "site/call_fixture.h"

namespace tabrix::site {
namespace {

using testing::CallCommandTest;
using testing::CallResult;
using testing::MakeDatabase;
using testing::ReadFile;
namespace fs = std::filesystem;

// Every table of the schema, in the order the database lists them.
const char* const kTables[] = {
    "Regions",   "Territories", "Employees",    "EmployeeTerritories",  "Categories",
    "Suppliers", "Products",    "Customers",    "CustomerDemographics", "CustomerCustomerDemo",
    "Shippers",  "Orders",      "Order Details"};

const std::string kCell =
    "<td valign=\"top\" width=\"300\" bgcolor=\"#ffffff\" "
    "style=\"padding:10px 10px 10px 10px;\">";

// One caption/value row of the record page.
std::string Row(const std::string& caption, const std::string& shown) {
  return "<tr><th width=\"130\">" + caption + "</th>" + kCell + shown + "</td></tr>";
}

std::string Right(const std::string& amount) { return "<p align='right'>" + amount + "</p>"; }

// The one value `sql` reads from the SQLite file at `path` ("NULL" for Null).
std::string Scalar(const fs::path& path, const std::string& sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string value = "<no row>";
  auto keep = [](void* out, int, char** values, char**) {
    *static_cast<std::string*>(out) = values[0] ? values[0] : "NULL";
    return 0;
  };
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), keep, &value, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
  return value;
}

class SampleSchemaTest : public CallCommandTest {
 protected:
  void SetUp() override {
    CallCommandTest::SetUp();
    std::string script = ReadFile(fs::path(TABRIX_TEST_DATA_DIR) / "site/fixtures/trading.sql");
    ASSERT_FALSE(script.empty());
    MakeDatabase(database(), script.c_str());
  }

  fs::path database() const { return dir_ / "trading.db"; }

  // Runs `words` as a user who may view, add and update every table.
  CallResult Run(const std::vector<std::string>& words) {
    std::string can_table;
    for (const char* table : kTables)
      can_table += (can_table.empty() ? "" : ",") + std::string(table) + "[VAUD]";
    std::vector<std::string> all = {"--set", "set_dns=Provider=SQLite;Data Source=trading.db",
                                    "--set", "set_encryptkey=trade",
                                    "--set", "UserId=1",
                                    "--set", "set_user1_CanTable=" + can_table,
                                    "--set", "set_action1=Delete,D,ALL"};
    all.insert(all.end(), words.begin(), words.end());
    return Call(all);
  }
};

// A member's argument as `tabrix call` reads it: a quoted text.
std::string Text(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
  return quoted + "\"";
}

TEST_F(SampleSchemaTest, ARecordOfEveryTableShowsEveryFieldWithItsValue) {
  struct Case {
    const char* table;
    const char* id;  // as a link carries it; for a composite key, its first column
    std::vector<std::string> captions;
    std::vector<std::string> rows;  // some rows of the page, whole
  };
  const Case cases[] = {
      {"Regions", "2", {"Regionid", "Region name"}, {Row("Region name", "Süd")}},
      {"Territories",
       "İZ-03",
       {"Territoryid", "Territoryname", "Regionid"},
       {Row("Territoryname", "İzmir Körfez"), Row("Regionid", Right("3"))}},
      {"Employees",
       "1",
       {"Employeeid", "Lastname", "Firstname", "Title", "Birthdate", "Hiredate", "Home phone",
        "Photo", "Notes", "Reportsto"},
       {Row("Birthdate", "08 December 1968, 00:00"), Row("Hiredate", "01 May 1993"),
        Row("Photo", "-"), Row("Reportsto", "")}},
      {"EmployeeTerritories", "~2~İZ-03", {"Employeeid", "Territoryid"}, {Row("Territoryid", "İZ-03")}},
      {"Categories",
       "2",
       {"Categoryid", "Categoryname", "Description", "Picture"},
       {Row("Description", "Sauces &amp; spreads &lt;sweet and savoury&gt;"), Row("Picture", "-")}},
      {"Suppliers",
       "2",
       {"Supplierid", "Companyname", "Contactname", "City", "Country", "Phone"},
       {Row("Contactname", "Şükrü Can"), Row("Phone", "")}},
      {"Products",
       "2",
       {"Productid", "Productname", "Supplierid", "Categoryid", "Quantityperunit", "Unitprice",
        "Unitsinstock", "Discontinued"},
       {Row("Unitprice", Right("12.75 ")), Row("Unitsinstock", Right("0"))}},
      {"Customers",
       "BOSPH",
       {"Customerid", "Companyname", "Contactname", "Address", "City", "Country"},
       {Row("Companyname", "Boğaziçi Gıda"), Row("City", "İstanbul")}},
      {"CustomerDemographics",
       "WHOLE",
       {"Customertypeid", "Customerdesc"},
       {Row("Customerdesc", "Wholesalers")}},
      {"CustomerCustomerDemo",
       "~COMER~RETAIL",
       {"Customerid", "Customertypeid"},
       {Row("Customertypeid", "RETAIL")}},
      {"Shippers", "2", {"Shipperid", "Companyname", "Phone"}, {Row("Phone", "0212 555 9")}},
      {"Orders",
       "1",
       {"Orderid", "Customerid", "Employeeid", "Orderdate", "Requireddate", "Shipvia", "Freight",
        "Ship name", "Ship city"},
       {Row("Orderdate", "02 January 2008, 10:15"), Row("Requireddate", "16 January 2008"),
        Row("Freight", Right("32.38")), Row("Ship name", "Alfred&#39;s Feinkost")}},
      {"Order Details",
       "~2~2",
       {"Orderid", "Productid", "Unit price", "Quantity", "Discount"},
       {Row("Unit price", Right("12.75")), Row("Quantity", Right("40")),
        Row("Discount", Right("0.05"))}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    CallResult run = Run({"--param", "id=" + std::string(c.id), "DatabaseMenu", "--then", "Info",
                          Text(c.table), Text(c.id)});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    const std::string page = run.report["calls"][1]["output"];
    // The heading names the table and the record's title, its first column
    // (the first part of a composite key's address).
    std::string title = c.id;
    if (title.front() == '~') title = title.substr(1, title.find('~', 1) - 1);
    EXPECT_NE(page.find("<font size='1'>" + std::string(c.table) + "</font><br>&nbsp;<b>" + title +
                        "</caption>"),
              std::string::npos)
        << page;
    // Every field once, in the table's order, the key first with its value.
    const std::string head = "<tr><th width=\"130\">";
    std::string::size_type at = 0;
    for (const std::string& caption : c.captions) {
      at = page.find(head + caption + "</th>", at);
      ASSERT_NE(at, std::string::npos) << caption << "\n" << page;
    }
    size_t rows = 0;
    for (at = page.find(head); at != std::string::npos; at = page.find(head, at + 1)) ++rows;
    EXPECT_EQ(rows, c.captions.size());
    EXPECT_TRUE(page.find(Row(c.captions[0], title)) != std::string::npos ||
                page.find(Row(c.captions[0], Right(title))) != std::string::npos)
        << page;
    for (const std::string& row : c.rows) EXPECT_NE(page.find(row), std::string::npos) << row;
    EXPECT_NE(page.find("<A href=\"Update.asp?t="), std::string::npos);
  }
}

TEST_F(SampleSchemaTest, TheListOfEveryTableCountsItsRows) {
  for (const char* table : kTables) {
    SCOPED_TRACE(table);
    std::string count = Scalar(database(), "select count(*) from \"" + std::string(table) + "\"");
    CallResult run = Run({"--param", "go=1", "DatabaseMenu", "--then", "Search", Text(table)});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    const std::string page = run.report["calls"][1]["output"];
    EXPECT_NE(page.find("Total : <b>" + count + "</b>"), std::string::npos) << page;
    EXPECT_NE(page.find("<td colspan=\""), std::string::npos);
  }
}

TEST_F(SampleSchemaTest, SearchCriteriaWorkOnColumnsOfEveryKindAndSpacedNames) {
  struct Case {
    const char* table;
    std::vector<std::string> params;
    int total;
  };
  const Case cases[] = {
      {"Orders", {"Ship City=Berlin"}, 2},
      {"Orders", {"Ship City=stanbul", "ShipVia=2"}, 1},
      {"Order Details", {"Unit Price=18.5"}, 1},
      {"Regions", {"Region Name=Bölge"}, 1},
      {"Orders",
       {"OrderDate=1", "OrderDate1_y=2008", "OrderDate1_m=1", "OrderDate1_d=1", "OrderDate2_y=2008",
        "OrderDate2_m=1", "OrderDate2_d=31"},
       2},
      {"Orders",
       {"RequiredDate=1", "RequiredDate1_y=2008", "RequiredDate1_m=2", "RequiredDate1_d=1",
        "RequiredDate2_y=2008", "RequiredDate2_m=3", "RequiredDate2_d=5"},
       2},
      {"Products", {"UnitPrice=9.9"}, 1},
      {"Customers", {"CustomerId=ALF"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.table) + " " + c.params[0]);
    std::vector<std::string> words = {"--param", "go=1"};
    for (const std::string& p : c.params) words.insert(words.end(), {"--param", p});
    words.insert(words.end(), {"Search", Text(c.table)});
    CallResult run = Run(words);
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    const std::string page = run.report["calls"][0]["output"];
    EXPECT_NE(page.find("Total : <b>" + std::to_string(c.total) + "</b>"), std::string::npos)
        << page;
  }
}

TEST_F(SampleSchemaTest, TheListSortsByAColumnWhoseNameHoldsASpace) {
  CallResult run = Run({"--param", "go=1", "--param", "o=Unit Price", "--param", "o2=Asc", "Search",
                        Text("Order Details")});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  const std::string page = run.report["calls"][0]["output"];
  std::string::size_type at = 0;
  for (const char* price : {"9.9", "12.75", "17", "18.5", "21"}) {
    at = page.find("<td>" + Right(price) + "</a></td>", at);
    ASSERT_NE(at, std::string::npos) << price << "\n" << page;
  }
}

TEST_F(SampleSchemaTest, AnAddedRowLandsOnItsOwnRecord) {
  struct Case {
    const char* table;
    std::vector<std::string> form;
    const char* id;     // the record the browser is sent to
    const char* check;  // a query that reads the stored row back
    const char* stored;
  };
  const Case cases[] = {
      // A generated key: the engine's new key, also after the last row went.
      {"Products",
       {"ProductName=Çay — Rize", "SupplierId=2", "CategoryId=1", "QuantityPerUnit=1 kg",
        "UnitPrice=7.25", "UnitsInStock=30", "Discontinued=0"},
       "6",
       "select ProductName || '|' || UnitPrice || '|' || UnitsInStock "
       "from Products where ProductId = 6",
       "Çay — Rize|7.25|30"},
      {"Regions",
       {"Region Name=Doğu Anadolu"},
       "4",
       "select \"Region Name\" from Regions where RegionId = 4",
       "Doğu Anadolu"},
      // A key the database does not make: the posted one.
      {"Customers",
       {"CustomerId=DENIZ", "CompanyName=Deniz Ticaret", "ContactName=Ömer Faruk", "City=Mersin",
        "Country=Türkiye"},
       "DENIZ",
       "select CompanyName from Customers where CustomerId = 'DENIZ'",
       "Deniz Ticaret"},
      // A posted text key is encoded for the address it goes into.
      {"Territories",
       {"TerritoryId=İZ 04&x", "TerritoryName=Çeşme", "RegionId=3"},
       "%C4%B0Z+04%26x",
       "select TerritoryName from Territories where TerritoryId = 'İZ 04&x'",
       "Çeşme"},
      {"Order Details",
       {"OrderId=4", "ProductId=3", "Unit Price=9.90", "Quantity=3", "Discount=0"},
       "%7E4%7E3",
       "select \"Unit Price\" || '|' || Quantity from \"Order Details\" "
       "where OrderId = 4 and ProductId = 3",
       "9.9|3"},
  };
  // A product added and removed before: its key is not taken again.
  Scalar(database(), "insert into Products (ProductName) values ('Gone')");
  Scalar(database(), "delete from Products where ProductName = 'Gone'");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    std::vector<std::string> words = {"--form", "go=1"};
    for (const std::string& item : c.form) words.insert(words.end(), {"--form", item});
    words.insert(words.end(), {"DatabaseMenu", "--then", "Add", Text(c.table)});
    CallResult run = Run(words);
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    const std::string code = run.report["session"]["code_" + std::string(c.table)]["value"];
    EXPECT_EQ(run.report["calls"][1]["output"],
              "<script language=\"javascript\">window.location.href='Info.asp?t=" + code +
                  "&id=" + c.id + "';</script>\r\n\r\n\r\n\r\n\r\n\r\n");
    EXPECT_EQ(Scalar(database(), c.check), c.stored);
  }

  // The new product's page shows what was posted.
  CallResult run = Run({"DatabaseMenu", "--then", "Info", Text("Products"), Text("6")});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  const std::string page = run.report["calls"][1]["output"];
  for (const std::string& row : {Row("Productid", Right("6")), Row("Productname", "Çay — Rize"),
                                 Row("Quantityperunit", "1 kg"), Row("Unitprice", Right("7.25 ")),
                                 Row("Unitsinstock", Right("30"))})
    EXPECT_NE(page.find(row), std::string::npos) << row << "\n" << page;
}

TEST_F(SampleSchemaTest, ANonAsciiTextUpdateReadsBackByteForByte) {
  const std::string value = "Zoë Çelik — 東京 🚀 \"quoted\" & 'apostrophe'";
  struct Case {
    const char* table;
    const char* id;
    const char* field;
    const char* key_condition;
    std::string id_after = "";  // the address once a key column changed
  };
  const Case cases[] = {
      {"Customers", "ALFRE", "ContactName", "CustomerId = 'ALFRE'"},
      {"Orders", "3", "Ship City", "OrderId = 3"},
      {"Regions", "1", "Region Name", "RegionId = 1"},
      // A text key that is not ASCII itself.
      {"Territories", "İZ-03", "TerritoryName", "TerritoryId = 'İZ-03'"},
      // A column of a composite key: the row is found by its old key, and
      // then has a new address ("&" in a part is written %26).
      {"EmployeeTerritories", "~3~M-02", "TerritoryId", "EmployeeId = 3",
       "~3~Zoë Çelik — 東京 🚀 \"quoted\" %26 'apostrophe'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    const std::string field = c.field;
    const std::string read =
        "select [" + field + "] from [" + std::string(c.table) + "] where " + c.key_condition;
    std::string before = Scalar(database(), "select count(*) from [" + std::string(c.table) + "]");
    CallResult run =
        Run({"--param", "id=" + std::string(c.id), "--form", "go=1", "--form",
             "Checked_" + field + "=Yes", "--form", field + "=" + value, "DatabaseMenu", "--then",
             "Update", Text(c.table), Text(c.id), "--then", "SqlSonuc", Text(read), "0"});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_EQ(run.report["session"]["msg"]["value"], "Record updated successfully!");
    EXPECT_EQ(run.report["calls"][2]["result"]["value"], value);
    EXPECT_EQ(Scalar(database(), read), value);
    EXPECT_EQ(Scalar(database(), "select count(*) from [" + std::string(c.table) + "]"), before);

    // The record page shows it, escaped for the page and otherwise unchanged.
    run = Run({"DatabaseMenu", "--then", "Info", Text(c.table),
               Text(c.id_after.empty() ? std::string(c.id) : c.id_after)});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_NE(run.report["calls"][1]["output"].get<std::string>().find(
                  kCell + "Zoë Çelik — 東京 🚀 &quot;quoted&quot; &amp; "
                          "&#39;apostrophe&#39;</td>"),
              std::string::npos);
  }
}

TEST_F(SampleSchemaTest, AnUpdateOfACompositeKeysRowChangesThatRowAlone) {
  // Order 1 has two lines: one is picked by its whole key, and the order
  // alone picks none.
  const std::string lines =
      "select group_concat(ProductId || ':' || \"Unit Price\" || ':' || Discount, ' ') "
      "from (select * from \"Order Details\" where OrderId = 1 order by ProductId)";
  CallResult run = Run({"--param", "id=~1~4", "--form", "go=1", "--form", "Checked_Unit Price=Yes",
                        "--form", "Unit Price=99.95", "--form", "Checked_Discount=Yes", "--form",
                        "Discount=0.2", "Update", Text("Order Details"), Text("~1~4")});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(Scalar(database(), lines), "1:18.5:0.0 4:99.95:0.2");

  run = Run({"--param", "id=1", "--form", "go=1", "--form", "Checked_Discount=Yes", "--form",
             "Discount=0.5", "Update", Text("Order Details"), Text("1")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.report["error"]["number"], 5);
  EXPECT_EQ(Scalar(database(), lines), "1:18.5:0.0 4:99.95:0.2");
}

TEST_F(SampleSchemaTest, AKeyThatNeedsEncodingReachesItsRecordThroughEveryLink) {
  Scalar(database(), "insert into Territories values ('İZ 04&x', 'Çeşme', 3)");
  const std::string key = "İZ 04&x", encoded = "%C4%B0Z+04%26x";

  CallResult run = Run({"--param", "go=1", "--param", "TerritoryName=Çeşme", "--param", "id=" + key,
                        "DatabaseMenu", "--then", "Search", Text("Territories"), "--then", "Info",
                        Text("Territories"), Text(key)});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  const std::string code = run.report["session"]["code_Territories"]["value"];
  const std::string list = run.report["calls"][1]["output"];
  EXPECT_NE(list.find("<A href=\"Info.asp?t=" + code + "&id=" + encoded + "\">İZ 04&amp;x</A>"),
            std::string::npos)
      << list;
  EXPECT_NE(list.find("name=\"id1\" value=\"İZ 04&amp;x|İZ 04&amp;x\""), std::string::npos);
  const std::string record = run.report["calls"][2]["output"];
  EXPECT_NE(record.find("<A href=\"Update.asp?t=" + code + "&id=" + encoded + "\">"),
            std::string::npos)
      << record;
  EXPECT_NE(record.find("<A href=\"Action.asp?t=" + code + "&c=1&id1=" + encoded + "|" + encoded +
                        "&a=1\">"),
            std::string::npos)
      << record;

  // The update page, reached with the decoded key, changes that record.
  run = Run({"--param", "id=" + key, "--form", "go=1", "--form", "Checked_TerritoryName=Yes",
             "--form", "TerritoryName=Çeşme Körfezi", "Update", Text("Territories"), Text(key)});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(
      Scalar(database(), "select TerritoryName from Territories where TerritoryId = 'İZ 04&x'"),
      "Çeşme Körfezi");
}

TEST_F(SampleSchemaTest, RelatedRowsShowTheirCaptionsAndLinkToTheirRecords) {
  const std::vector<std::string> relations = {
      "--set",
      "set_relation1=Orders.CustomerId,Customers,CustomerId,CompanyName,yes",
      "--set",
      "set_relation2=Order "
      "Details.ProductId,Products,ProductId,ProductName,yes",
      "--set",
      "set_relation3=*.EmployeeId,Employees,EmployeeId,FirstName || ' ' || "
      "LastName,no"};
  auto with = [&](std::vector<std::string> words) {
    words.insert(words.begin(), relations.begin(), relations.end());
    return Run(words);
  };

  CallResult run = with({"DatabaseMenu", "--then", "Info", Text("Orders"), Text("2")});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string page = run.report["calls"][1]["output"];
  const std::string customers = run.report["session"]["code_Customers"]["value"];
  const std::string employees = run.report["session"]["code_Employees"]["value"];
  EXPECT_NE(page.find(Row("Customerid", "Boğaziçi Gıda <A href='Info.asp?t=" + customers +
                                            "&id=BOSPH'><img src='images/link.gif' border='0' "
                                            "align='absmiddle'></a>")),
            std::string::npos)
      << page;
  EXPECT_NE(page.find(Row("Employeeid", "Ayşe Yılmaz <A href='Info.asp?t=" + employees +
                                            "&id=2'><img src='images/link.gif' border='0' "
                                            "align='absmiddle'></a>")),
            std::string::npos)
      << page;

  // From the table whose name holds a space, in the list as on the record.
  run = with({"--param", "go=1", "DatabaseMenu", "--then", "Search", Text("Order Details")});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  page = run.report["calls"][1]["output"];
  const std::string products = run.report["session"]["code_Products"]["value"];
  EXPECT_NE(page.find("Crème brûlée mix <A href='Info.asp?t=" + products + "&id=4'>"),
            std::string::npos)
      << page;

  // The forms offer the customers by name; the update form has the order's own picked.
  run = with({"--param", "id=2", "DatabaseMenu", "--then", "Add", Text("Orders"), "--then",
              "Update", Text("Orders"), Text("2")});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  page = run.report["calls"][1]["output"];
  EXPECT_NE(page.find("<option value=\"BOSPH\">Boğaziçi Gıda</option>"), std::string::npos) << page;
  page = run.report["calls"][2]["output"];
  EXPECT_NE(page.find("<option value=\"BOSPH\" selected>Boğaziçi Gıda</option>"), std::string::npos)
      << page;
}

TEST_F(SampleSchemaTest, PickedRecordsComeBackByTheirKeys) {
  struct Case {
    const char* table;
    const char* slot;  // the one filled slot of two
    const char* field;
    const char* first;  // the field's value on the first record handed back
  };
  const Case cases[] = {
      {"Territories", "İZ-03|İzmir Körfez", "TerritoryName", "İzmir Körfez"},
      {"Order Details", "~3~3|3", "Unit Price", "9.9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    // The confirmation page names the picked record.
    CallResult run = Run(
        {"--form", "c=2", "--form", "id2=" + std::string(c.slot), "Action", Text(c.table), "1"});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    const std::string title = std::string(c.slot).substr(std::string(c.slot).find('|') + 1);
    EXPECT_NE(
        run.report["calls"][0]["output"].get<std::string>().find("<option>" + title + "</option>"),
        std::string::npos)
        << run.out;

    // Confirmed, the records come back on the picked one.
    run = Run({"--form", "c=2", "--form", "id2=" + std::string(c.slot), "--form", "onay=1",
               "Action", Text(c.table), "1", "--then", "RsValue", Text(c.field)});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_EQ(run.report["calls"][1]["result"]["value"], c.first);
  }
}

TEST_F(SampleSchemaTest, TheAddAndUpdateFormsOfEveryTableOfferItsFields) {
  for (const char* table : kTables) {
    SCOPED_TRACE(table);
    // A composite key's address joins its parts behind "~".
    const std::map<std::string, std::string> composite = {
        {"EmployeeTerritories", "'~' || EmployeeId || '~' || TerritoryId"},
        {"CustomerCustomerDemo", "'~' || CustomerId || '~' || CustomerTypeId"},
        {"Order Details", "'~' || OrderId || '~' || ProductId"}};
    auto key = composite.find(table);
    std::string id = Scalar(database(), "select " + (key == composite.end() ? "*" : key->second) +
                                            " from \"" + std::string(table) + "\" limit 1");
    CallResult run = Run({"--param", "id=" + id, "DatabaseMenu", "--then", "Add", Text(table),
                          "--then", "Update", Text(table), Text(id)});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    const std::string add = run.report["calls"][1]["output"];
    const std::string update = run.report["calls"][2]["output"];
    EXPECT_NE(add.find("<form action=\"Add.asp\" method=\"post\">"), std::string::npos);
    EXPECT_NE(update.find("<input type=\"hidden\" name=\"id\" value=\"" + id + "\">"),
              std::string::npos)
        << update;
  }
}

}  // namespace
}  // namespace tabrix::site
