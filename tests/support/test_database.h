// TestDatabase: the database a component or page test runs on, of the
// engine under test.
//
// Component and page tests are written once and run on every engine: ctest
// runs their programs once per engine, naming it in the TABRIX_TEST_ENGINE
// environment variable ("sqlite" when unset). A test builds its database
// from a small SQL script; an engine's fixture makes a new, empty database
// for each TestDatabase, runs the script on it outside the facade, and drops
// the database (and the pool's idle connections to it) when the test ends.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tabrix::testing {

// What an engine supplies to the tests.
class EngineFixture {
 public:
  virtual ~EngineFixture() = default;
  // The connection string of the test's database, for "set_dns".
  virtual const std::string& connection_string() const = 0;
  // Runs `script` (any number of statements) on the database, outside the
  // facade and its pool. Throws std::runtime_error with the engine's message.
  virtual void Run(std::string_view script) const = 0;
};

// The engine the tests run on: TABRIX_TEST_ENGINE, or "sqlite".
std::string TestEngine();

class TestDatabase {
 public:
  // A new database of the engine under test, built by `script`. Throws
  // std::runtime_error for an unknown engine or a failing script.
  explicit TestDatabase(std::string_view script = {});

  const std::string& connection_string() const { return engine_->connection_string(); }
  void Run(std::string_view script) const { engine_->Run(script); }

 private:
  std::unique_ptr<EngineFixture> engine_;
};

}  // namespace tabrix::testing
