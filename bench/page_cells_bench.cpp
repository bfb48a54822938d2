// What the list and record pages spend on their cells, apart from the
// database: a small SQLite file shaped like the demo (orders that refer to
// customers and employees, a value list, dates, money, yes/no) and the
// demo's settings (captions, relations, value lists, per-user table and
// field rights), so that the work done per field per row dominates.
//
// Times, for the demo's administrator and for a user with a field
// deny-list: the list page of 100 rows and the record page of one order,
// each a whole request through Tabrix1 in process. Prints the median times.
// Run it under perf to see where a page's time goes.
//
//   page_cells_bench [repetitions]
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "component/tabrix1.h"
#include "host/request.h"
#include "host/response.h"
#include "host/server.h"
#include "host/session.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kOrders = 2000;
constexpr int kPageRows = 100;

void BuildDatabase(const fs::path& file) {
  std::string n = std::to_string(kOrders);
  std::string script =
      "pragma journal_mode = off; begin;"
      "create table customers (id INTEGER PRIMARY KEY, name TEXT, email TEXT, city TEXT, "
      "segment TEXT, joined DATE, vip BOOLEAN, credit_limit MONEY);"
      "insert into customers with recursive n(i) as (select 1 union all select i + 1 from n "
      "where i < 200) select i, 'Customer ' || i, 'c' || i || '@example.org', 'Bonn', "
      "substr('RWO', i % 3 + 1, 1), date('2008-01-01', '+' || i || ' days'), i % 2, i * 10.5 "
      "from n;"
      "create table employees (id INTEGER PRIMARY KEY, name TEXT, title TEXT);"
      "insert into employees values (1, 'Anna', 'Sales'), (2, 'Ben', 'Sales');"
      "create table orders (id INTEGER PRIMARY KEY, customer_id INTEGER REFERENCES "
      "customers(id), employee_id INTEGER REFERENCES employees(id), order_date DATE, "
      "status INTEGER, shipped_at DATETIME, ship_city TEXT, freight MONEY, paid BOOLEAN, "
      "notes MEMO);"
      "insert into orders with recursive n(i) as (select 1 union all select i + 1 from n "
      "where i < " + n + ") select i, i % 200 + 1, i % 2 + 1, "
      "date('2008-01-01', '+' || (i % 365) || ' days'), i % 5, "
      "datetime('2008-01-02 10:30', '+' || (i % 365) || ' days'), "
      "case i % 3 when 0 then 'Berlin' when 1 then 'Bonn' else 'Hamburg' end, "
      "(i % 1000) * 0.25 - 10, i % 2, 'Leave at the door' from n;"
      "commit;";
  tabrix::bench::RunSqliteScript(file, script, "building the database");
}

double MedianMs(int repetitions, const std::function<void()>& body) {
  body();
  std::vector<double> samples;
  for (int i = 0; i < repetitions; ++i) {
    auto start = Clock::now();
    body();
    samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

// The settings of a demo-like site for user `user`.
std::shared_ptr<tabrix::Session> DemoSession(const std::string& dns, int user) {
  auto s = std::make_shared<tabrix::Session>();
  auto set = [&](const char* key, const char* value) { s->SetValue(key, tabrix::Variant(value)); };
  s->SetValue("set_dns", tabrix::Variant(dns));
  s->SetValue("UserId", tabrix::Variant(user));
  set("set_pagers", "10,25,50,100");
  set("set_currency", "EUR");
  set("set_replace",
      "customers=Customers,products=Products,employees=Employees,orders=Orders,"
      "order_items=Order lines,Order items=Order lines,order_totals=Order totals,id=No.,"
      "customer_id=Customer,Customer id=Customer,employee_id=Salesperson,Employee "
      "id=Salesperson,order_id=Order,Order id=Order,product_id=Product,Product id=Product,"
      "ship_city=Ship to,Ship city=Ship to,shipped_at=Shipped,Shipped at=Shipped,"
      "units_in_stock=In stock,Units in stock=In stock,line_count=Lines,Line count=Lines,"
      "last_login=Last sign-in,Last login=Last sign-in");
  set("set_orders_list", "id,customer_id,employee_id,order_date,status,shipped_at,ship_city,"
                         "freight,paid");
  set("set_relation1", "orders.customer_id,customers,id,name,yes");
  set("set_relation2", "orders.employee_id,employees,id,name,yes");
  set("set_relation3", "order_items.order_id,orders,id,id,no");
  set("set_relation4", "order_items.product_id,products,id,name,yes");
  set("set_relation5", "order_totals.order_id,orders,id,id,no");
  set("set_select1", "orders.status,0,New,1,Packed,2,Shipped,3,Delivered,4,Cancelled");
  set("set_select2", "customers.segment,R,Retail,W,Wholesale,O,Online");
  set("set_link1", "customers,Orders of this customer,Search.asp?t={orders}&go=1&customer_id=[id]");
  set("set_link2", "orders,Lines of this order,Search.asp?t={order_items}&go=1&order_id=[id]");
  set("set_action1", "Delete,D,ALL");
  set("set_action2", "Mark shipped,S,orders");
  set("set_user1_CanTable", "customers[VAUDX],products[VAUDX],employees[VAUDX],"
                            "orders[VAUDSX],order_items[VAUDX],order_totals[VX]");
  set("set_user3_CanTable", "customers[VAU],orders[VAUS],order_items[VA],products[V]");
  set("set_user3_CantField", "customers.email[VAU],customers.phone[VAU],"
                             "customers.credit_limit[VAU],orders.freight[VAU]");
  set("code_orders", "ORD");
  set("code_customers", "CUS");
  set("code_employees", "EMP");
  return s;
}

// One request, wired as a hosting page does it.
class PageRequests {
 public:
  PageRequests(const fs::path& folder, const std::string& dns, int user)
      : session_(DemoSession(dns, user)), server_(std::make_shared<tabrix::Server>(folder)) {}

  std::string List() {
    return Run("/Search.asp", "t=ORD&go=1&o=id&o2=Asc&c=" + std::to_string(kPageRows) + "&p=3",
               [](tabrix::Tabrix1& o) { o.Search(tabrix::Variant("orders")); });
  }
  std::string Record() {
    return Run("/Info.asp", "t=ORD&id=17", [](tabrix::Tabrix1& o) {
      o.Info(tabrix::Variant("orders"), tabrix::Variant("17"));
    });
  }

 private:
  std::string Run(const char* script, const std::string& query,
                  const std::function<void(tabrix::Tabrix1&)>& page) {
    auto request = std::make_shared<tabrix::Request>();
    auto response = std::make_shared<tabrix::Response>();
    request->SetServerVariable("SCRIPT_NAME", script);
    request->SetQueryString(query);
    tabrix::Tabrix1 object;
    object.session = tabrix::Variant(session_);
    object.Request = tabrix::Variant(request);
    object.Response = tabrix::Variant(response);
    object.Server = tabrix::Variant(server_);
    page(object);
    return response->buffer();
  }

  std::shared_ptr<tabrix::Session> session_;
  std::shared_ptr<tabrix::Server> server_;
};

}  // namespace

int main(int argc, char** argv) {
  int repetitions = argc > 1 ? std::atoi(argv[1]) : 51;
  fs::path folder = fs::temp_directory_path() / ("tabrix_cells_bench_" + std::to_string(getpid()));
  fs::create_directories(folder);
  try {
    fs::path file = folder / "demo.db";
    BuildDatabase(file);
    std::string dns = "Provider=SQLite;Data Source=" + file.string();
    std::printf("%-24s %12s %12s\n", "", "list ms", "record ms");
    for (int user : {1, 3}) {
      PageRequests pages(folder, dns, user);
      std::string list = pages.List();
      if (list.find("Customer ") == std::string::npos)
        throw std::runtime_error("the list shows no related captions:\n" + list.substr(0, 3000));
      double list_ms = MedianMs(repetitions, [&] { pages.List(); });
      double record_ms = MedianMs(repetitions, [&] { pages.Record(); });
      std::printf("%-24s %12.3f %12.3f\n", user == 1 ? "administrator" : "field deny-list",
                  list_ms, record_ms);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "page_cells_bench: %s\n", e.what());
    fs::remove_all(folder);
    return 1;
  }
  fs::remove_all(folder);
  return 0;
}
