// PostgreSQL for the tests of the shared session store: a database of its
// own per test on the server of TABRIX_TEST_PG (scripts/with-postgres), and
// a private server a test may stop and start without disturbing the tests
// running beside it (support/private_pg_server.h).
//
// Without TABRIX_TEST_PG these tests skip, saying why; a build configured
// to test PostgreSQL (TABRIX_TEST_ENGINES holds "postgres") fails them
// instead, so a CI run cannot pass without the server.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "site/session/pg_connections.h"
#include "support/private_pg_server.h"

namespace tabrix::testing {

// TABRIX_TEST_PG, or nullopt.
inline std::optional<std::string> PgServer() {
  const char* text = std::getenv("TABRIX_TEST_PG");
  if (text == nullptr || *text == '\0') return std::nullopt;
  return std::string(text);
}

#ifdef TABRIX_TEST_PG_REQUIRED
#define TABRIX_REQUIRE_PG()                                                               \
  if (::tabrix::testing::PgServer()) {                                                    \
  } else                                                                                  \
    FAIL() << "TABRIX_TEST_PG is not set: run the tests under scripts/with-postgres (this " \
            "build tests PostgreSQL)"
#else
#define TABRIX_REQUIRE_PG()           \
  if (::tabrix::testing::PgServer()) { \
  } else                                \
    GTEST_SKIP() << "TABRIX_TEST_PG is not set (run under scripts/with-postgres)"
#endif

// The value of `key` in a libpq keyword string ("host=/tmp/x port=5432").
inline std::string KeywordValue(const std::string& keywords, const std::string& key) {
  std::istringstream words(keywords);
  std::string word;
  while (words >> word)
    if (word.rfind(key + "=", 0) == 0) return word.substr(key.size() + 1);
  return "";
}

// Runs `sql` on the server of `keywords`; a failure fails the test.
inline void RunSql(const std::string& keywords, const std::string& sql) {
  PGconn* conn = PQconnectdb((keywords + " connect_timeout=10").c_str());
  if (PQstatus(conn) != CONNECTION_OK) {
    ADD_FAILURE() << "cannot connect to " << keywords << ": " << PQerrorMessage(conn);
  } else {
    PGresult* result = PQexec(conn, sql.c_str());
    ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
      ADD_FAILURE() << sql << ": " << PQerrorMessage(conn);
    PQclear(result);
  }
  PQfinish(conn);
}

// A new database on a server, dropped when the object goes.
class PgTestDatabase {
 public:
  // On `server_keywords` (TABRIX_TEST_PG when empty).
  explicit PgTestDatabase(std::string server_keywords = PgServer().value_or("")) {
    server_ = std::move(server_keywords);
    static std::atomic<int> counter{0};
    name_ = "tabrix_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    RunSql(server_, "CREATE DATABASE " + name_);
  }
  ~PgTestDatabase() { RunSql(server_, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)"); }
  PgTestDatabase(const PgTestDatabase&) = delete;
  PgTestDatabase& operator=(const PgTestDatabase&) = delete;

  // libpq keywords of the new database.
  std::string keywords() const {
    return "host=" + KeywordValue(server_, "host") + " port=" + KeywordValue(server_, "port") +
           " user=" + KeywordValue(server_, "user") + " dbname=" + name_;
  }
  // The site's connection string of the new database.
  std::string connection_string() const {
    return "Provider=PostgreSQL;Host=" + KeywordValue(server_, "host") +
           ";Port=" + KeywordValue(server_, "port") + ";Database=" + name_ +
           ";User ID=" + KeywordValue(server_, "user");
  }
  site::PgParams params() const { return adodb::postgres::PgParamsFor(connection_string()); }

 private:
  std::string server_;
  std::string name_;
};

}  // namespace tabrix::testing
