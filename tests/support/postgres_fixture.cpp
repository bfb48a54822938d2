#include "support/postgres_fixture.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

#include "host/adodb/connection_pool.h"
#include "host/sql/legacy_names.h"
#include "host/sql/name_catalog.h"
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

// The tables and columns of the database, for scripts that name them.
sql::NameCatalog ReadNames(PGconn* db) {
  sql::NameCatalog names;
  PGresult* result = PQexec(
      db,
      "SELECT c.relname, a.attname FROM pg_class c "
      "JOIN pg_namespace n ON n.oid = c.relnamespace AND n.nspname = 'public' "
      "JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
      "WHERE c.relkind IN ('r', 'v', 'm', 'p')");
  for (int row = 0; row < PQntuples(result); ++row) {
    names.AddTable(PQgetvalue(result, row, 0));
    names.AddColumn(PQgetvalue(result, row, 0), PQgetvalue(result, row, 1),
                    sql::ColumnKind::kOther);
  }
  PQclear(result);
  return names;
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
    {{"MEMO"}, "TEXT"},
};

bool IsSignificant(const sql::Token& token) { return !sql::IsTrivia(token); }

// Words that end the type of a column definition.
bool EndsType(const sql::Token& token) {
  for (const char* word : {"not", "null", "primary", "unique", "default", "check", "references",
                           "generated", "collate", "constraint"})
    if (sql::IsWord(token, word)) return true;
  return sql::IsPunct(token, ",") || sql::IsPunct(token, ")");
}

// The names a script declares: tables and views it creates, the columns of
// its CREATE TABLEs, and aliases given with AS; as written.
void CollectDeclared(const std::vector<sql::Token>& tokens, sql::NameCatalog& names) {
  std::vector<size_t> sig;
  for (size_t i = 0; i < tokens.size(); ++i)
    if (IsSignificant(tokens[i])) sig.push_back(i);
  auto at = [&](size_t k) -> const sql::Token& { return tokens[sig[k]]; };
  auto is_name = [&](size_t k) {
    return k < sig.size() && (at(k).kind == sql::TokenKind::kWord ||
                              at(k).kind == sql::TokenKind::kQuotedName ||
                              at(k).kind == sql::TokenKind::kBracketName);
  };
  for (size_t k = 0; k < sig.size(); ++k) {
    // An alias; GENERATED ... AS IDENTITY is none.
    if (sql::IsWord(at(k), "as") && is_name(k + 1) && !sql::IsWord(at(k + 1), "identity"))
      names.AddTable(sql::NameText(at(k + 1)));
    if (!sql::IsWord(at(k), "table") && !sql::IsWord(at(k), "view")) continue;
    size_t name = k + 1;
    if (name + 2 < sig.size() && sql::IsWord(at(name), "if")) name += 3;  // IF NOT EXISTS
    if (!is_name(name)) continue;
    names.AddTable(sql::NameText(at(name)));
    if (!sql::IsWord(at(k), "table") || name + 1 >= sig.size() || !sql::IsPunct(at(name + 1), "("))
      continue;
    int depth = 0;
    bool item_start = true;
    for (size_t j = name + 1; j < sig.size(); ++j) {
      if (sql::IsPunct(at(j), "(")) {
        ++depth;
        if (depth == 1) continue;
      }
      if (sql::IsPunct(at(j), ")") && --depth == 0) break;
      if (depth == 1 && sql::IsPunct(at(j), ",")) {
        item_start = true;
        continue;
      }
      if (item_start && depth == 1 && is_name(j) && !EndsType(at(j)) &&
          !sql::IsWord(at(j), "foreign"))
        names.AddColumn(sql::NameText(at(name)), sql::NameText(at(j)),
                        sql::ColumnKind::kOther);
      item_start = false;
    }
  }
}

// `script` with SQLite's names made PostgreSQL's: a bracketed name quoted,
// a bare word that is a known or declared name quoted in its spelling (not
// a type, a function or a keyword), and X'..' blobs as bytea.
std::string QuoteNames(std::string_view script, const sql::NameCatalog& known) {
  std::vector<sql::Token> tokens = sql::Tokenize(script);
  sql::NameCatalog names = known;
  CollectDeclared(tokens, names);
  sql::Dialect quote;
  std::string out;
  const sql::Token* before = nullptr;  // the last significant token
  bool in_type = false;                // words of a column's type
  std::vector<int> paren_is_cast;
  int table_depth = -1;  // the depth of a CREATE TABLE's column list
  int depth = 0;
  bool after_column_name = false;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const sql::Token& token = tokens[i];
    std::string text(token.text);
    size_t next = i + 1;
    while (next < tokens.size() && !IsSignificant(tokens[next])) ++next;
    const sql::Token* after = next < tokens.size() ? &tokens[next] : nullptr;
    if (token.kind == sql::TokenKind::kBracketName) {
      text = quote.QuoteName(sql::NameText(token));
    } else if (sql::IsWord(token, "x") && i + 1 < tokens.size() &&
               tokens[i + 1].kind == sql::TokenKind::kString) {
      out += "'\\x" + std::string(sql::InnerText(tokens[i + 1])) + "'::bytea";
      before = &tokens[i + 1];
      ++i;
      continue;
    } else if (token.kind == sql::TokenKind::kWord) {
      if (after_column_name) in_type = true;
      if (in_type && EndsType(token)) in_type = false;
      bool function = after != nullptr && sql::IsPunct(*after, "(") &&
                      !(before != nullptr && (sql::IsWord(*before, "table") ||
                                              sql::IsWord(*before, "into") ||
                                              sql::IsWord(*before, "exists") ||
                                              sql::IsWord(*before, "references") ||
                                              sql::IsWord(*before, "on")));
      bool type = in_type || (before != nullptr && sql::IsPunct(*before, "::")) ||
                  (before != nullptr && sql::IsWord(*before, "as") && !paren_is_cast.empty() &&
                   paren_is_cast.back());
      if (!function && !type && !sql::IsReservedWord(token.text)) {
        if (auto spelling = names.Resolve(text)) text = quote.QuoteName(*spelling);
      }
    }
    if (IsSignificant(token)) {
      after_column_name = false;
      if (sql::IsPunct(token, "(")) {
        ++depth;
        paren_is_cast.push_back(before != nullptr && sql::IsWord(*before, "cast"));
        if (before != nullptr && table_depth < 0 && i > 0) {
          // "CREATE TABLE name (": the column list starts.
          size_t k = i;
          int words = 0;
          const sql::Token* table_word = nullptr;
          while (k-- > 0 && words < 6) {
            if (!IsSignificant(tokens[k])) continue;
            ++words;
            if (sql::IsWord(tokens[k], "table")) table_word = &tokens[k];
            if (sql::IsWord(tokens[k], "create")) break;
          }
          if (table_word != nullptr) table_depth = depth;
        }
      } else if (sql::IsPunct(token, ")")) {
        if (depth == table_depth) table_depth = -1;
        if (!paren_is_cast.empty()) paren_is_cast.pop_back();
        --depth;
        in_type = false;
      }
      // The first word of an item of a column list names the column.
      if (table_depth == depth && (sql::IsPunct(token, "(") || sql::IsPunct(token, ",")))
        in_type = false;
      if (table_depth == depth && before != nullptr &&
          (sql::IsPunct(*before, "(") || sql::IsPunct(*before, ",")) &&
          (token.kind == sql::TokenKind::kWord || token.kind == sql::TokenKind::kQuotedName ||
           token.kind == sql::TokenKind::kBracketName) &&
          !EndsType(token) && !sql::IsWord(token, "foreign"))
        after_column_name = true;
      before = &token;
    }
    out += text;
  }
  return out;
}

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
  try {
    Connection db = ConnectOrThrow(libpq_string());
    RunOrThrow(db.get(),
               "UPDATE pg_catalog.pg_cast SET castcontext = 'a' "
               "WHERE castsource = 'integer'::regtype AND casttarget = 'boolean'::regtype");
    db.reset();
    Run(script);
  } catch (...) {
    Drop();  // no destructor runs for a fixture that failed to build
    throw;
  }
}

void PostgresFixture::Drop() const {
  adodb::ConnectionPool::Current().CloseIdle(connection_string_);
  try {
    Connection admin = ConnectOrThrow(ServerString());
    RunOrThrow(admin.get(), "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
  } catch (const std::exception&) {
    // The server may be gone already; its folder goes with it.
  }
}

PostgresFixture::~PostgresFixture() { Drop(); }

std::string PostgresFixture::libpq_string() const {
  return WithDatabase(ServerString(), database_);
}

void PostgresFixture::Run(std::string_view script) const {
  if (script.empty()) return;
  Connection db = ConnectOrThrow(libpq_string());
  RunOrThrow(db.get(), QuoteNames(Translate(script), ReadNames(db.get())));
  // Sequences continue after what the script stored.
  RunOrThrow(db.get(), R"sql(
    DO $$
    DECLARE r record;
    BEGIN
      FOR r IN SELECT n.nspname, c.relname, a.attname,
                      pg_get_serial_sequence(quote_ident(n.nspname) || '.' ||
                                             quote_ident(c.relname), a.attname) AS seq
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
