// What the kept counts of static cursors save, and how often a site finds
// them.
//
// 1. The count itself: a table of a million rows (or the count given as the
//    first argument); a static cursor over the list page's query ("WHERE
//    1=1", no quick count of the whole table) is opened, counted and closed
//    through the database facade, each time under a new SQL text (so it is
//    counted) and each time under the same text (so the kept count
//    answers). Prints the median times.
// 2. The site: a logged-in user views the same list page again and again,
//    in process through the site's handler; prints how many of the page's
//    counts were answered from the cache, with the sessions in memory and
//    (on PostgreSQL) in the site's database.
//
// SQLite always; PostgreSQL too when TABRIX_TEST_PG names a server (a libpq
// keyword string, as scripts/with-postgres exports it).
//
//   count_cache_bench [rows] [repetitions] [views]
#include <libpq-fe.h>
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
#include "host/adodb/count_cache.h"
#include "host/adodb/recordset.h"
#include "site/config.h"
#include "site/pages/site_handler.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using tabrix::Variant;

const char* kTableSql =
    "create table Orders (Id integer primary key, CustomerId integer, Title text, "
    "City varchar(40), Price real);";

void BuildSqlite(const fs::path& file, long rows) {
  std::string script = std::string("pragma journal_mode = wal; begin;") + kTableSql +
                       "insert into Orders with recursive n(i) as (select 1 union all select "
                       "i + 1 from n where i < " + std::to_string(rows) +
                       ") select i, i % 1000 + 1, 'Order number ' || i, case i % 3 when 0 then "
                       "'Berlin' when 1 then 'Bonn' else 'Hamburg' end, (i % 1000) * 0.25 "
                       "from n; commit;";
  tabrix::bench::RunSqliteScript(file, script, "building the SQLite table");
}

double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

double TimeMs(int repetitions, const std::function<void(int)>& body) {
  body(-1);
  std::vector<double> samples;
  for (int i = 0; i < repetitions; ++i) {
    auto start = Clock::now();
    body(i);
    samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return Median(samples);
}

std::int64_t Count(const std::string& connection, const std::string& sql) {
  auto rs = tabrix::adodb::NewRecordset();
  rs->Open(Variant(sql), Variant(connection), Variant(tabrix::adodb::kStatic),
           Variant(tabrix::adodb::kReadOnly));
  std::int64_t rows = rs->RecordCount();
  rs->Close();
  return rows;
}

void TimeCounts(const char* engine, const std::string& connection, int repetitions) {
  const std::string sql = "select * from Orders WHERE 1=1 ORDER BY Id Asc";
  int round = 0;
  // Each text differs in a trailing comment: a new key, so a real count.
  double counted = TimeMs(repetitions, [&](int) {
    Count(connection, sql + " -- " + std::to_string(++round));
  });
  double kept = TimeMs(repetitions, [&](int) { Count(connection, sql); });
  std::printf("%-10s open+count+close: counted %8.3f ms, kept %8.3f ms\n", engine, counted, kept);
}

// A site on `set_dns`, its sessions in memory or in its (PostgreSQL)
// database; a user logs in and views the list page `views` times.
void SiteHitRate(const char* label, const std::string& set_dns, bool database_sessions,
                 const fs::path& folder, int views) {
  std::string text = "[session]\nset_dns = \"" + set_dns +
                     "\"\nset_encryptkey = \"k3y\"\n"
                     "set_user1_username = \"ada\"\nset_user1_password = \"pw\"\n"
                     "set_user1_CanTable = \"Orders[V]\"\nset_pagers = \"10,50,100\"\n";
  if (database_sessions) text = "[session_store]\nkind = \"database\"\n" + text;
  tabrix::site::SiteConfig config = tabrix::site::ParseConfig(text, folder / "site.toml");
  tabrix::site::ApplyProcessSettings(&config, std::nullopt);
  tabrix::site::SiteHandler handler(config);
  auto send = [&](const std::string& method, const std::string& target,
                  const std::string& cookie, const std::string& body) {
    tabrix::site::HttpRequest request;
    request.method = method;
    request.target = target;
    std::size_t mark = target.find('?');
    request.path = target.substr(0, mark);
    if (mark != std::string::npos) request.query = target.substr(mark + 1);
    request.headers.emplace_back("host", "127.0.0.1:8080");
    if (method == "POST") {
      request.headers.emplace_back("origin", "http://127.0.0.1:8080");
      request.headers.emplace_back("content-type", "application/x-www-form-urlencoded");
    }
    if (!cookie.empty()) request.headers.emplace_back("cookie", cookie);
    request.remote_address = "127.0.0.1";
    request.body = body;
    return handler.Handle(request);
  };
  auto login = send("POST", "/Login.asp", "", "username=ada&password=pw");
  std::string cookie = login.Header("set-cookie").value_or("");
  cookie = cookie.substr(0, cookie.find(';'));
  if (login.status != 302 || cookie.empty())
    throw std::runtime_error(std::string(label) + ": the login failed");
  // The table's code in links is the site's own; the menu shows it.
  std::string menu = send("GET", "/", cookie, "").body;
  std::size_t at = menu.find("Search.asp?t=");
  if (at == std::string::npos) throw std::runtime_error(std::string(label) + ": no menu");
  at += 13;
  const std::string page = "/Search.asp?t=" + menu.substr(at, menu.find('&', at) - at) +
                           "&go=1&o=Id&o2=Asc&c=50&p=1";
  auto first = send("GET", page, cookie, "");
  if (first.status != 200 || first.body.find("Order number") == std::string::npos)
    throw std::runtime_error(std::string(label) + ": the page failed (" +
                             std::to_string(first.status) + "):\n" + first.body.substr(0, 1500));
  tabrix::adodb::CountCacheTally before = tabrix::adodb::CountCacheTallySoFar();
  auto start = Clock::now();
  for (int i = 0; i < views; ++i) send("GET", page, cookie, "");
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / views;
  tabrix::adodb::CountCacheTally after = tabrix::adodb::CountCacheTallySoFar();
  std::uint64_t hits = after.hits - before.hits, misses = after.misses - before.misses,
                uncached = after.uncached - before.uncached;
  std::uint64_t all = hits + misses + uncached;
  std::printf("%-34s %d views: %llu counts, %llu kept, %llu counted, %llu not keepable "
              "(hit rate %.0f%%), %.2f ms a view\n",
              label, views, static_cast<unsigned long long>(all),
              static_cast<unsigned long long>(hits), static_cast<unsigned long long>(misses),
              static_cast<unsigned long long>(uncached), all ? 100.0 * hits / all : 0.0, ms);
}

}  // namespace

int main(int argc, char** argv) {
  long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  int repetitions = argc > 2 ? std::atoi(argv[2]) : 9;
  int views = argc > 3 ? std::atoi(argv[3]) : 50;
  fs::path folder = fs::temp_directory_path() / ("tabrix_count_bench_" + std::to_string(getpid()));
  fs::create_directories(folder);
  std::string database;
  PGconn* admin = nullptr;
  int status = 0;
  try {
    fs::path file = folder / "orders.db";
    BuildSqlite(file, rows);
    std::string sqlite = "Provider=SQLite;Data Source=" + file.string();
    std::printf("%ld rows\n", rows);
    TimeCounts("SQLite", sqlite, repetitions);
    SiteHitRate("SQLite, sessions in memory", sqlite, false, folder, views);

    if (const char* server = std::getenv("TABRIX_TEST_PG"); server != nullptr && *server != 0) {
      admin = PQconnectdb(server);
      if (PQstatus(admin) != CONNECTION_OK)
        throw std::runtime_error(std::string("PostgreSQL: ") + PQerrorMessage(admin));
      database = "tabrix_count_bench_" + std::to_string(getpid());
      tabrix::bench::PgValue(admin, "CREATE DATABASE " + database);
      PGconn* db = PQconnectdb((std::string(server) + " dbname=" + database).c_str());
      try {
        tabrix::bench::PgValue(db, "create table \"Orders\" (\"Id\" integer primary key, \"CustomerId\" "
                    "integer, \"Title\" text, \"City\" varchar(40), \"Price\" real);"
                    "insert into \"Orders\" select i, i % 1000 + 1, 'Order number ' || i, "
                    "case i % 3 when 0 then 'Berlin' when 1 then 'Bonn' else 'Hamburg' end, "
                    "(i % 1000) * 0.25 from generate_series(1, " + std::to_string(rows) + ") i;");
        tabrix::bench::PgValue(db, "vacuum analyze \"Orders\"");
      } catch (...) {
        PQfinish(db);
        throw;
      }
      PQfinish(db);
      std::string pg = "Provider=PostgreSQL;Host=" + tabrix::bench::ConninfoValue(server, "host") +
                       ";Port=" + tabrix::bench::ConninfoValue(server, "port") + ";Database=" + database +
                       ";User ID=" + tabrix::bench::ConninfoValue(server, "user");
      TimeCounts("PostgreSQL", pg, repetitions);
      SiteHitRate("PostgreSQL, sessions in memory", pg, false, folder, views);
      SiteHitRate("PostgreSQL, sessions in the database", pg, true, folder, views);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "count_cache_bench: %s\n", e.what());
    status = 1;
  }
  if (admin != nullptr) {
    if (!database.empty()) {
      try {
        tabrix::bench::PgValue(admin, "DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
      } catch (const std::exception&) {
      }
    }
    PQfinish(admin);
  }
  fs::remove_all(folder);
  return status;
}
