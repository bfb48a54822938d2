// Opening a SQLite database: its journal mode is its own unless the
// connection string asks for another.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <string>

#include "host/adodb/connection.h"
#include "host/adodb/connection_pool.h"
#include "host/variant_ops.h"
#include "recordset_helpers.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;
using testing::OpenStatic;
using testing::Raised;

// The journal mode of the file as a new connection finds it.
std::string FileJournalMode(const SqliteFixture& db) {
  sqlite3* handle = nullptr;
  sqlite3_open_v2(db.path().c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(handle, "PRAGMA journal_mode", -1, &statement, nullptr);
  std::string mode;
  if (sqlite3_step(statement) == SQLITE_ROW)
    mode = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  sqlite3_finalize(statement);
  sqlite3_close(handle);
  return mode;
}

TEST(SqliteOpen, TheJournalModeChangesOnlyWhenAskedFor) {
  struct {
    const char* added;
    const char* mode_after;
  } cases[] = {
      {"", "delete"},
      {";Journal Mode=WAL", "wal"},
      {";journal mode=wal", "wal"},
      {";Journal Mode=DELETE", "delete"},
  };
  for (const auto& c : cases) {
    SqliteFixture db("CREATE TABLE T(x INTEGER); INSERT INTO T VALUES (1);");
    db.Run("PRAGMA journal_mode=DELETE");
    std::string connection_string = db.connection_string() + c.added;
    {
      auto connection = NewConnection();
      connection->Open(Variant(connection_string));
      connection->Execute(Variant("INSERT INTO T VALUES (2)"));
      auto rs = OpenStatic("select count(*) as n from T", connection_string);
      EXPECT_TRUE(rs->Value(Variant("n")).Identical(Variant(2))) << c.added;
      rs->Close();
      connection->Close();
    }
    ConnectionPool::Current().CloseIdle(connection_string);
    EXPECT_EQ(FileJournalMode(db), c.mode_after) << c.added;
  }
}

TEST(SqliteOpen, AJournalModeItCannotApplyIsRefusedNamingTheKey) {
  SqliteFixture db("CREATE TABLE T(x INTEGER);");
  for (const char* added :
       {";Journal Mode=OFF", ";Journal Mode=fast", ";Mode=Read;Journal Mode=WAL"}) {
    ScriptError error =
        Raised([&] { NewConnection()->Open(Variant(db.connection_string() + added)); });
    EXPECT_EQ(error.number(), kErrAdoArguments) << added;
    EXPECT_NE(error.description().find("Journal Mode"), std::string::npos) << error.description();
  }
}

}  // namespace
}  // namespace tabrix::adodb
