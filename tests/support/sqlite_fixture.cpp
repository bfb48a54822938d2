#include "support/sqlite_fixture.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <stdexcept>
#include <string>

#include "host/adodb/connection_pool.h"

namespace tabrix::testing {

SqliteFixture::SqliteFixture(std::string_view script) {
  std::string pattern = (std::filesystem::temp_directory_path() / "tabrix-db-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot make a temporary folder for a test database");
  folder_ = pattern;
  path_ = folder_ / "test.db";
  connection_string_ = "Provider=SQLite;Data Source=" + path_.string();

  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  // WAL, as the databases the site serves mostly are: readers and a writer
  // at once. A test of another journal mode switches its own file.
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("cannot create " + path_.string());
  Run(script);
}

SqliteFixture::~SqliteFixture() {
  adodb::ConnectionPool::Current().CloseIdle(connection_string_);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void SqliteFixture::Run(std::string_view script) const {
  if (script.empty()) return;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + path_.string());
  }
  sqlite3_busy_timeout(db, 5000);
  char* message = nullptr;
  std::string text(script);
  if (sqlite3_exec(db, text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string error = message != nullptr ? message : "unknown error";
    sqlite3_free(message);
    sqlite3_close(db);
    throw std::runtime_error("fixture script failed: " + error);
  }
  sqlite3_close(db);
}

}  // namespace tabrix::testing
