// The list page on a large table, next to the floor SQLite sets for it.
//
// Builds a SQLite file with a table of a million orders (or the count given
// as the first argument) and a small table of customers that each order
// refers to, then times, for page 1 and a page in the middle (50 rows,
// sorted by the key, one relation): Tabrix1::Search in process, and the two
// statements the page needs, run directly on the SQLite C API (the count,
// and the page with LIMIT/OFFSET, every column read), and the same with the
// plain count of the whole table. Prints the median times, their ratios and
// the process's peak memory. The aim: a ratio under 1.5, and memory that
// does not grow with the table.
//
// When TABRIX_TEST_PG names a PostgreSQL server (a libpq keyword string, as
// scripts/with-postgres exports it), the same table is built in a new
// database there and the same pages are timed through the PostgreSQL
// provider, next to the page's statements run directly with libpq.
//
//   list_page_bench [rows] [repetitions]
#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/resource.h>
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

constexpr int kPageSize = 50;
constexpr int kCustomers = 1000;

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

// One transaction of recursive inserts: a few seconds for a million rows.
void BuildDatabase(const fs::path& file, long rows) {
  std::string script =
      "pragma journal_mode = off; pragma synchronous = off; begin;"
      "create table Customers (Id integer primary key, Name text);"
      "insert into Customers with recursive n(i) as (select 1 union all select i + 1 from n "
      "where i < " + std::to_string(kCustomers) + ") select i, 'Customer ' || i from n;"
      "create table Orders (Id integer primary key, CustomerId integer, Title text, "
      "City varchar(40), Price real, OrderDate date);"
      "insert into Orders with recursive n(i) as (select 1 union all select i + 1 from n "
      "where i < " + std::to_string(rows) + ") select i, i % " + std::to_string(kCustomers) +
      " + 1, 'Order number ' || i, case i % 3 when 0 then 'Berlin' when 1 then 'Bonn' else "
      "'Hamburg' end, (i % 1000) * 0.25, date('2008-01-01', '+' || (i % 365) || ' days') "
      "from n;"
      "commit;";
  tabrix::bench::RunSqliteScript(file, script, "building the database");
}

double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

// Runs `body` `repetitions` times after one warm-up; the median in ms.
double TimeMs(int repetitions, const std::function<void()>& body) {
  body();
  std::vector<double> samples;
  for (int i = 0; i < repetitions; ++i) {
    auto start = Clock::now();
    body();
    samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return Median(samples);
}

long PeakKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// One request to the list page, wired as a hosting page does it.
class ListPageRequest {
 public:
  ListPageRequest(const fs::path& folder, const std::string& connection_string)
      : session_(std::make_shared<tabrix::Session>()),
        server_(std::make_shared<tabrix::Server>(folder)) {
    session_->SetValue("set_dns", tabrix::Variant(connection_string));
    session_->SetValue("UserId", tabrix::Variant(1));
    session_->SetValue("set_user1_CanTable", tabrix::Variant("Orders[V],Customers[V]"));  // captions need both
    session_->SetValue("code_Orders", tabrix::Variant("ORD"));
    session_->SetValue("code_Customers", tabrix::Variant("CUS"));
    session_->SetValue("set_pagers", tabrix::Variant("10,50,100"));
    session_->SetValue("set_action1", tabrix::Variant("Delete,V,Orders"));
    session_->SetValue("set_relation1",
                       tabrix::Variant("Orders.CustomerId,Customers,Id,Name,no"));
  }

  // The page's HTML for page `page` (the whole page but the search panel).
  std::string Run(long page) {
    auto request = std::make_shared<tabrix::Request>();
    auto response = std::make_shared<tabrix::Response>();
    request->SetServerVariable("SCRIPT_NAME", "/Search.asp");
    request->SetQueryString("t=ORD&go=1&hf=1&o=Id&o2=Asc&c=" + std::to_string(kPageSize) +
                            "&p=" + std::to_string(page));
    tabrix::Tabrix1 object;
    object.session = tabrix::Variant(session_);
    object.Request = tabrix::Variant(request);
    object.Response = tabrix::Variant(response);
    object.Server = tabrix::Variant(server_);
    object.Search(tabrix::Variant("Orders"));
    return response->buffer();
  }

 private:
  std::shared_ptr<tabrix::Session> session_;
  std::shared_ptr<tabrix::Server> server_;
};

// The page's two statements straight on SQLite, every value read: the
// count and the page with LIMIT/OFFSET. The page writes its criteria after
// "WHERE 1=1", which keeps SQLite from its quick count of a whole table; the
// plain count is timed too, as the floor for a page without criteria.
class DirectQueries {
 public:
  explicit DirectQueries(const fs::path& file) {
    Check(sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr), db_, "open");
  }
  ~DirectQueries() { sqlite3_close(db_); }

  long Run(long page, bool plain_count = false) {
    long count = 0;
    Step(plain_count ? "select count(*) from Orders" : "select count(*) from Orders WHERE 1=1",
         [&](sqlite3_stmt* s) { count = sqlite3_column_int64(s, 0); });
    std::string sql =
        "select Id, CustomerId, (select Name from Customers where Id = Orders.CustomerId) as "
        "CustomerId_caption, Title, City, Price, OrderDate from Orders WHERE 1=1 ORDER BY Id Asc "
        "LIMIT " + std::to_string(kPageSize) + " OFFSET " + std::to_string((page - 1) * kPageSize);
    long bytes = 0;
    Step(sql, [&](sqlite3_stmt* s) {
      for (int c = 0; c < sqlite3_column_count(s); ++c) bytes += sqlite3_column_bytes(s, c);
    });
    return count + bytes;
  }

 private:
  void Step(const std::string& sql, const std::function<void(sqlite3_stmt*)>& row) {
    sqlite3_stmt* statement = nullptr;
    Check(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), db_, "prepare");
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) row(statement);
    Check(rc, db_, "step");
    sqlite3_finalize(statement);
  }
  sqlite3* db_ = nullptr;
};

// The page's statements straight on PostgreSQL through libpq, as above.
class PostgresQueries {
 public:
  explicit PostgresQueries(const std::string& conninfo) : db_(PQconnectdb(conninfo.c_str())) {
    if (PQstatus(db_) != CONNECTION_OK)
      throw std::runtime_error(std::string("PostgreSQL: ") + PQerrorMessage(db_));
  }
  ~PostgresQueries() { PQfinish(db_); }

  long Run(long page) {
    std::string sql =
        "select \"Id\", \"CustomerId\", (select \"Name\" from \"Customers\" where \"Id\" = "
        "\"Orders\".\"CustomerId\") as \"CustomerId_caption\", \"Title\", \"City\", "
        "\"Price\", \"OrderDate\" from \"Orders\" WHERE 1=1 ORDER BY \"Id\" Asc LIMIT " +
        std::to_string(kPageSize) + " OFFSET " + std::to_string((page - 1) * kPageSize);
    long total = std::atol(Value("select count(*) from \"Orders\" WHERE 1=1").c_str());
    PGresult* result = PQexec(db_, sql.c_str());
    for (int r = 0; r < PQntuples(result); ++r)
      for (int c = 0; c < PQnfields(result); ++c) total += PQgetlength(result, r, c);
    PQclear(result);
    return total;
  }

  std::string Value(const std::string& sql) { return tabrix::bench::PgValue(db_, sql); }

 private:
  PGconn* db_;
};

// The same table and pages on the PostgreSQL server `server`.
void RunOnPostgres(const std::string& server, const fs::path& folder, long rows,
                   int repetitions) {
  std::string database = "tabrix_bench_" + std::to_string(getpid());
  PostgresQueries admin(server);
  admin.Value("CREATE DATABASE " + database);
  std::string conninfo = server + " dbname=" + database;
  try {
    PostgresQueries db(conninfo);
    auto start = Clock::now();
    db.Value("create table \"Customers\" (\"Id\" serial primary key, \"Name\" text);"
             "insert into \"Customers\" select i, 'Customer ' || i from generate_series(1, " +
             std::to_string(kCustomers) + ") i;"
             "create table \"Orders\" (\"Id\" serial primary key, \"CustomerId\" integer, "
             "\"Title\" text, \"City\" varchar(40), \"Price\" double precision, "
             "\"OrderDate\" date);"
             "insert into \"Orders\" select i, i % " + std::to_string(kCustomers) +
             " + 1, 'Order number ' || i, case i % 3 when 0 then 'Berlin' when 1 then 'Bonn' "
             "else 'Hamburg' end, (i % 1000) * 0.25, date '2008-01-01' + (i % 365) "
             "from generate_series(1, " + std::to_string(rows) + ") i;");
    db.Value("vacuum analyze \"Orders\"");
    std::printf("PostgreSQL: the same table built in %.0f ms\n",
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    ListPageRequest page(folder, "Provider=PostgreSQL;Host=" + tabrix::bench::ConninfoValue(server, "host") +
                                     ";Port=" + tabrix::bench::ConninfoValue(server, "port") +
                                     ";Database=" + database + ";User ID=" +
                                     tabrix::bench::ConninfoValue(server, "user"));
    long middle = std::max(1L, (rows / kPageSize) / 2);
    std::string sample = page.Run(middle);
    if (sample.find("Customer ") == std::string::npos)
      throw std::runtime_error("the page shows no related captions:\n" + sample.substr(0, 2000));
    std::printf("%-10s %10s %12s %7s\n", "50 rows", "Search ms", "same SQL ms", "ratio");
    for (long p : {1L, middle}) {
      volatile long sink = 0;
      double search_ms = TimeMs(repetitions, [&] { page.Run(p); });
      double direct_ms = TimeMs(repetitions, [&] { sink = sink + db.Run(p); });
      std::printf("%-10s %10.3f %12.3f %7.2f\n", ("p=" + std::to_string(p)).c_str(), search_ms,
                  direct_ms, search_ms / direct_ms);
    }
  } catch (...) {
    admin.Value("DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
    throw;
  }
  admin.Value("DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
}

}  // namespace

int main(int argc, char** argv) {
  long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  int repetitions = argc > 2 ? std::atoi(argv[2]) : 9;
  fs::path folder = fs::temp_directory_path() / ("tabrix_list_bench_" + std::to_string(getpid()));
  fs::create_directories(folder);
  fs::path file = folder / "orders.db";

  try {
    auto start = Clock::now();
    BuildDatabase(file, rows);
    double build_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("table of %ld orders, %d customers built in %.0f ms\n", rows, kCustomers,
                build_ms);
    long peak_before = PeakKb();

    ListPageRequest page(folder, "Provider=SQLite;Data Source=" + file.string());
    DirectQueries direct(file);
    long middle = std::max(1L, (rows / kPageSize) / 2);
    std::string sample = page.Run(middle);
    if (sample.find("Customer ") == std::string::npos)
      throw std::runtime_error("the page shows no related captions:\n" + sample.substr(0, 2000));

    std::printf("%-10s %10s %12s %7s %14s %7s\n", "50 rows", "Search ms", "same SQL ms", "ratio",
                "plain count ms", "ratio");
    for (long p : {1L, middle}) {
      volatile long sink = 0;
      double search_ms = TimeMs(repetitions, [&] { page.Run(p); });
      double direct_ms = TimeMs(repetitions, [&] { sink = sink + direct.Run(p); });
      double floor_ms = TimeMs(repetitions, [&] { sink = sink + direct.Run(p, true); });
      std::printf("%-10s %10.3f %12.3f %7.2f %14.3f %7.2f\n", ("p=" + std::to_string(p)).c_str(),
                  search_ms, direct_ms, search_ms / direct_ms, floor_ms, search_ms / floor_ms);
    }
    std::printf("peak memory: %ld KB after building, %ld KB after the pages\n", peak_before,
                PeakKb());
    if (const char* server = std::getenv("TABRIX_TEST_PG"); server != nullptr && *server != 0)
      RunOnPostgres(server, folder, rows, repetitions);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "list_page_bench: %s\n", e.what());
    fs::remove_all(folder);
    return 1;
  }
  fs::remove_all(folder);
  return 0;
}
