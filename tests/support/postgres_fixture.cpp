#include "support/postgres_fixture.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

#include "host/adodb/connection_pool.h"
#include "host/sql/tokenizer.h"

namespace tabrix::testing {

namespace {

struct Finisher {
  void operator()(PGconn* db) const { PQfinish(db); }
};
using Connection = std::unique_ptr<PGconn, Finisher>;

Connection ConnectOrThrow(const std::string& conninfo) {
  Connection db(PQconnectdb(conninfo.c_str()));
  if (PQstatus(db.get()) != CONNECTION_OK)
    throw std::runtime_error("cannot reach the test server: " +
                             std::string(PQerrorMessage(db.get())));
  PQsetNoticeProcessor(db.get(), [](void*, const char*) {}, nullptr);
  return db;
}

void RunOrThrow(PGconn* db, const std::string& sql) {
  PGresult* result = PQexec(db, sql.c_str());
  ExecStatusType status = PQresultStatus(result);
  std::string message = PQresultErrorMessage(result);
  PQclear(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_EMPTY_QUERY)
    throw std::runtime_error("fixture script failed: " + message);
}

// The value of `key` in a libpq keyword string; empty when absent.
std::string ConninfoValue(const std::string& conninfo, const char* key) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &error);
  if (options == nullptr) {
    std::string message = error != nullptr ? error : "unreadable";
    PQfreemem(error);
    throw std::runtime_error("TABRIX_TEST_PG: " + message);
  }
  std::string value;
  for (PQconninfoOption* option = options; option->keyword != nullptr; ++option)
    if (std::string_view(option->keyword) == key && option->val != nullptr) value = option->val;
  PQconninfoFree(options);
  return value;
}

std::string WithDatabase(const std::string& conninfo, const std::string& database) {
  return conninfo + " dbname=" + database;
}

struct Translation {
  std::vector<std::string_view> from;  // words, matched ignoring case
  const char* to;
};

const Translation kTranslations[] = {
    {{"INTEGER", "PRIMARY", "KEY", "AUTOINCREMENT"}, "SERIAL PRIMARY KEY"},
    {{"INTEGER", "PRIMARY", "KEY"}, "SERIAL PRIMARY KEY"},
    {{"WITHOUT", "ROWID"}, ""},
    {{"DATETIME"}, "TIMESTAMP"},
    {{"BLOB"}, "BYTEA"},
    {{"REAL"}, "DOUBLE PRECISION"},
    {{"DOUBLE"}, "DOUBLE PRECISION"},
};

}  // namespace

std::string PostgresFixture::ServerString() {
  const char* server = std::getenv("TABRIX_TEST_PG");
  if (server == nullptr || *server == '\0')
    throw std::runtime_error(
        "TABRIX_TEST_PG is not set: run the PostgreSQL tests under scripts/with-postgres");
  return server;
}

std::string PostgresFixture::Translate(std::string_view script) {
  std::vector<sql::Token> tokens = sql::Tokenize(script);
  std::string out;
  for (size_t i = 0; i < tokens.size();) {
    bool translated = false;
    for (const Translation& translation : kTranslations) {
      size_t k = i;
      size_t matched = 0;
      while (matched < translation.from.size() && k < tokens.size() &&
             sql::IsWord(tokens[k], translation.from[matched])) {
        ++matched, ++k;
        while (matched < translation.from.size() && k < tokens.size() &&
               tokens[k].kind == sql::TokenKind::kSpace)
          ++k;
      }
      if (matched != translation.from.size()) continue;
      // DOUBLE PRECISION stays as it is.
      if (translation.from.size() == 1 && translation.from[0] == "DOUBLE") {
        size_t next = k;
        while (next < tokens.size() && tokens[next].kind == sql::TokenKind::kSpace) ++next;
        if (next < tokens.size() && sql::IsWord(tokens[next], "precision")) continue;
      }
      out += translation.to;
      i = k;
      translated = true;
      break;
    }
    if (!translated) out += tokens[i++].text;
  }
  return out;
}

PostgresFixture::PostgresFixture(std::string_view script) {
  static std::atomic<int> next{0};
  std::string server = ServerString();
  database_ = "tabrix_t_" + std::to_string(getpid()) + "_" + std::to_string(++next);
  {
    Connection admin = ConnectOrThrow(server);
    RunOrThrow(admin.get(), "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
    RunOrThrow(admin.get(), "CREATE DATABASE " + database_ + " TEMPLATE template0 ENCODING 'UTF8'");
  }
  connection_string_ = "Provider=PostgreSQL;Host=" + ConninfoValue(server, "host") +
                       ";Port=" + ConninfoValue(server, "port") + ";Database=" + database_ +
                       ";User ID=" + ConninfoValue(server, "user");
  Connection db = ConnectOrThrow(libpq_string());
  RunOrThrow(db.get(),
             "UPDATE pg_catalog.pg_cast SET castcontext = 'a' "
             "WHERE castsource = 'integer'::regtype AND casttarget = 'boolean'::regtype");
  db.reset();
  Run(script);
}

PostgresFixture::~PostgresFixture() {
  adodb::ConnectionPool::Current().CloseIdle(connection_string_);
  try {
    Connection admin = ConnectOrThrow(ServerString());
    RunOrThrow(admin.get(), "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
  } catch (const std::exception&) {
    // The server may be gone already; its folder goes with it.
  }
}

std::string PostgresFixture::libpq_string() const {
  return WithDatabase(ServerString(), database_);
}

void PostgresFixture::Run(std::string_view script) const {
  if (script.empty()) return;
  Connection db = ConnectOrThrow(libpq_string());
  RunOrThrow(db.get(), Translate(script));
  // Sequences continue after what the script stored.
  RunOrThrow(db.get(), R"sql(
    DO $$
    DECLARE r record;
    BEGIN
      FOR r IN SELECT n.nspname, c.relname, a.attname,
                      pg_get_serial_sequence(quote_ident(n.nspname) || '.' || quote_ident(c.relname), a.attname) AS seq
               FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
               JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped
               WHERE c.relkind IN ('r', 'p') AND n.nspname NOT IN ('pg_catalog', 'information_schema')
      LOOP
        IF r.seq IS NOT NULL THEN
          EXECUTE format('SELECT setval(%L, COALESCE((SELECT max(%I) FROM %I.%I), 0) + 1, false)',
                         r.seq, r.attname, r.nspname, r.relname);
        END IF;
      END LOOP;
    END $$;
  )sql");
}

}  // namespace tabrix::testing
