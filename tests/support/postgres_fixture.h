// PostgresFixture: a new PostgreSQL database for one test, built from a
// small SQL script; PostgreSQL's engine fixture for TestDatabase and the
// fixture of the PostgreSQL provider's own tests.
//
// The server is the one TABRIX_TEST_PG names (a libpq keyword string, as
// scripts/with-postgres exports it); without it the fixture throws, naming
// the variable. Each fixture creates tabrix_t_<pid>_<n>, runs its script
// there through libpq, and at the end closes the pool's idle connections
// to it and drops it (WITH (FORCE)).
//
// The scripts are shared with SQLite, so the fixture reads a few of
// SQLite's forms as PostgreSQL's, by whole words outside literals:
//   INTEGER PRIMARY KEY [AUTOINCREMENT]  -> SERIAL PRIMARY KEY
//   DATETIME -> TIMESTAMP, BLOB -> BYTEA, REAL and DOUBLE -> DOUBLE PRECISION
//   WITHOUT ROWID -> (nothing), MEMO -> TEXT
//   [bracketed] names -> "quoted" names, X'0102' -> '\x0102'::bytea
// and, since SQLite keeps a bare name's letter case and PostgreSQL folds it,
// every bare word that names a table, view or column (one the database has,
// or one the script declares: CREATE TABLE and VIEW names, the columns of
// a CREATE TABLE, aliases after AS) is quoted in its declared spelling;
// keywords, types and functions are not.
// After the script, every sequence behind a serial or identity column
// continues after the largest value the script stored. The database lets
// an integer be assigned to a boolean column (scripts store 0 and 1, as
// SQLite does); comparisons are untouched.
#pragma once

#include <string>
#include <string_view>

#include "support/test_database.h"

namespace tabrix::testing {

class PostgresFixture : public EngineFixture {
 public:
  explicit PostgresFixture(std::string_view script = {});
  ~PostgresFixture() override;
  PostgresFixture(const PostgresFixture&) = delete;
  PostgresFixture& operator=(const PostgresFixture&) = delete;

  // "Provider=PostgreSQL;Host=..;Port=..;Database=..;User ID=..".
  const std::string& connection_string() const override { return connection_string_; }
  const std::string& database() const { return database_; }
  // A libpq keyword string for the test's database.
  std::string libpq_string() const;

  // Runs `script`, translated as above, outside the facade and its pool.
  void Run(std::string_view script) const override;

  // `script` with SQLite's forms read as PostgreSQL's.
  static std::string Translate(std::string_view script);
  // TABRIX_TEST_PG; throws std::runtime_error when it is not set.
  static std::string ServerString();

 private:
  // Closes the pool's idle connections to the database and drops it.
  void Drop() const;

  std::string database_;
  std::string connection_string_;
};

}  // namespace tabrix::testing
