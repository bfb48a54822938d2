#include "support/test_database.h"

#include <cstdlib>
#include <stdexcept>

#include "support/postgres_fixture.h"
#include "support/sqlite_fixture.h"

namespace tabrix::testing {

std::string TestEngine() {
  const char* engine = std::getenv("TABRIX_TEST_ENGINE");
  return engine == nullptr || *engine == '\0' ? "sqlite" : engine;
}

TestDatabase::TestDatabase(std::string_view script) {
  std::string engine = TestEngine();
  if (engine == "sqlite")
    engine_ = std::make_unique<SqliteFixture>(script);
  else if (engine == "postgres")
    engine_ = std::make_unique<PostgresFixture>(script);
  else
    throw std::runtime_error("no test fixture for the engine \"" + engine + "\"");
}

}  // namespace tabrix::testing
