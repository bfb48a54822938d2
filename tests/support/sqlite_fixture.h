// SqliteFixture: a temporary SQLite database built from a small SQL script,
// SQLite's engine fixture for TestDatabase and the fixture of the SQLite
// provider's own tests.
//
// The file lives in a new temporary folder, in WAL mode; the fixture's
// connection string opens it through the SQLite provider. The destructor closes the pooled
// connections for that string and removes the folder with the file and its
// WAL files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "support/test_database.h"

namespace tabrix::testing {

class SqliteFixture : public EngineFixture {
 public:
  // Creates the database and runs `script` (any number of statements) on
  // it. Throws std::runtime_error with SQLite's message when a statement
  // fails.
  explicit SqliteFixture(std::string_view script = {});
  ~SqliteFixture() override;
  SqliteFixture(const SqliteFixture&) = delete;
  SqliteFixture& operator=(const SqliteFixture&) = delete;

  // "Provider=SQLite;Data Source=<path>".
  const std::string& connection_string() const override { return connection_string_; }
  const std::filesystem::path& path() const { return path_; }
  const std::filesystem::path& folder() const { return folder_; }

  // Runs `script` on the file directly, outside the facade and its pool.
  void Run(std::string_view script) const override;

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
  std::string connection_string_;
};

}  // namespace tabrix::testing
