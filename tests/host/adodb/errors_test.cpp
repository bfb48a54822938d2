// Failures of the facade: connection strings, files that are not there (and
// must not be created), provider messages kept as they are, SQL text the
// engine cannot read whole, and misuse of recordsets and fields.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/adodb/connection_pool.h"
#include "recordset_helpers.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;
using testing::OpenStatic;
using testing::Raised;

// The cursor the pages pair with a lock: static to read, keyset to write.
long CursorFor(long lock) { return lock == kReadOnly ? kStatic : kKeyset; }

constexpr const char* kItems =
    "CREATE TABLE Items(Id INTEGER PRIMARY KEY, Code TEXT);"
    "INSERT INTO Items VALUES (1, 'a');";

TEST(OpenErrors, ConnectionStrings) {
  SqliteFixture db(kItems);
  struct {
    Variant connection;
    long number;
    const char* mentions;
  } cases[] = {
      {Variant(), kErrNoConnection, ""},
      {Variant::Null(), kErrNoConnection, ""},
      {Variant(""), kErrNoConnection, "empty"},
      {Variant("Provider=Oracle;Data Source=x"), kErrProviderNotFound, "Oracle"},
      {Variant("Provider=SQLite"), kErrAdoArguments, "no Data Source"},
      {Variant("Data Source=" + db.path().string()), kErrAdoArguments, "no Provider"},
  };
  for (const auto& c : cases) {
    auto rs = NewRecordset();
    ScriptError error =
        Raised([&] { rs->Open(Variant("select 1"), c.connection, Variant(3), Variant(1)); });
    EXPECT_EQ(error.number(), c.number) << c.mentions;
    EXPECT_NE(error.description().find(c.mentions), std::string::npos) << error.description();
    EXPECT_EQ(rs->State(), 0);
    auto connection = NewConnection();
    EXPECT_EQ(Raised([&] { connection->Open(c.connection); }).number(), c.number) << c.mentions;
  }
}

TEST(OpenErrors, MissingFileIsNeverCreated) {
  SqliteFixture db;
  const std::filesystem::path missing = db.folder() / "missing.db";
  ScriptError error =
      Raised([&] { OpenStatic("select 1", "Provider=SQLite;Data Source=" + missing.string()); });
  EXPECT_EQ(error.number(), kErrProvider);
  EXPECT_EQ(error.description(), "unable to open database file: " + missing.string());
  EXPECT_FALSE(std::filesystem::exists(missing));

  auto connection = NewConnection();
  EXPECT_EQ(Raised([&] {
              connection->Open(Variant("Provider=SQLite;Data Source=" + missing.string()));
            }).number(),
            kErrProvider);
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(OpenErrors, FileThatIsNotADatabase) {
  SqliteFixture db;
  const std::filesystem::path text = db.folder() / "notes.txt";
  std::ofstream(text) << "these are not the pages of a database, just some plain text\n";
  ScriptError error =
      Raised([&] { OpenStatic("select 1", "Provider=SQLite;Data Source=" + text.string()); });
  EXPECT_EQ(error.number(), kErrProvider);
  EXPECT_EQ(error.description(), "file is not a database: " + text.string());
}

TEST(OpenErrors, RelativeDataSourceIsTakenFromTheBaseFolder) {
  SqliteFixture db(kItems);
  SetDataSourceBase(db.folder().string());
  auto rs = OpenStatic("select Code from Items", "Provider=SQLite;Data Source=test.db");
  EXPECT_TRUE(rs->Value(Variant("Code")).Identical(Variant("a")));
  rs->Close();
  ScriptError error =
      Raised([&] { OpenStatic("select 1", "Provider=SQLite;Data Source=other.db"); });
  SetDataSourceBase("");
  EXPECT_EQ(error.description(),
            "unable to open database file: " + (db.folder() / "other.db").string());
  ConnectionPool::Global().CloseIdle("Provider=SQLite;Data Source=test.db");
}

TEST(OpenErrors, ProviderMessagesAreKept) {
  SqliteFixture db(kItems);
  struct {
    const char* sql;
    const char* message;
  } cases[] = {
      {"selec * from Items", "near \"selec\": syntax error"},
      {"select * from [Foo]", "no such table: Foo"},
      {"select Nope from Items", "no such column: Nope"},
      {"  -- nothing\n", "the SQL text holds no statement"},
  };
  for (const auto& c : cases) {
    for (long lock : {kReadOnly, kOptimistic}) {
      auto rs = NewRecordset();
      ScriptError error = Raised([&] {
        rs->Open(Variant(c.sql), Variant(db.connection_string()), Variant(3), Variant(lock));
      });
      EXPECT_EQ(error.number(), kErrProvider) << c.sql;
      EXPECT_EQ(error.description(), c.message) << c.sql;
    }
  }
  // The connection went back to the pool in a usable state.
  EXPECT_EQ(OpenStatic("select count(*) as n from Items", db.connection_string())->RecordCount(),
            1);
}

TEST(RecordsetErrors, StateAndArguments) {
  SqliteFixture db(kItems);
  auto rs = NewRecordset();
  EXPECT_EQ(Raised([&] { rs->Eof(); }).number(), kErrObjectClosed);
  EXPECT_EQ(Raised([&] { rs->Close(); }).number(), kErrObjectClosed);
  EXPECT_EQ(Raised([&] { rs->Value(Variant("Id")); }).number(), kErrObjectClosed);
  EXPECT_EQ(Raised([&] {
              rs->Open(Variant(""), Variant(db.connection_string()), Variant(3), Variant(1));
            }).number(),
            kErrAdoArguments);
  EXPECT_EQ(Raised([&] {
              rs->Open(Variant("select 1"), Variant(db.connection_string()), Variant(9),
                       Variant(1));
            }).number(),
            kErrAdoArguments);
  rs->Open(Variant("select * from Items"), Variant(db.connection_string()), Variant(3), Variant(1));
  EXPECT_EQ(Raised([&] {
              rs->Open(Variant("select 1"), Variant(db.connection_string()), Variant(3),
                       Variant(1));
            }).number(),
            kErrObjectOpen);
  rs->Close();
  EXPECT_EQ(rs->State(), 0);
}

TEST(RecordsetErrors, FieldsByNameIgnoringCaseOrByPosition) {
  SqliteFixture db(
      "CREATE TABLE Şehir(Ad TEXT, Kod INTEGER); INSERT INTO Şehir VALUES ('İzmir', 35);");
  auto rs = OpenStatic("select * from [Şehir]", db.connection_string());
  EXPECT_TRUE(rs->Value(Variant("AD")).Identical(Variant("İzmir")));
  EXPECT_TRUE(rs->Value(Variant("kod")).Identical(Variant(35)));
  EXPECT_TRUE(rs->Value(Variant(1)).Identical(Variant(35)));
  EXPECT_TRUE(rs->Value(Variant(1.0)).Identical(Variant(35)));
  EXPECT_EQ(rs->fields().Item(Variant(0))->Name(), "Ad");
  for (const Variant& bad : {Variant("Nope"), Variant(2), Variant(-1), Variant(), Variant::Null()})
    EXPECT_EQ(Raised([&] { rs->Value(bad); }).number(), kErrItemNotFound) << bad.TypeName();
  EXPECT_EQ(Raised([&] { rs->fields().Item(Variant("Nope")); }).number(), kErrItemNotFound);

  std::shared_ptr<Field> field = rs->fields().Item(Variant("Ad"));
  rs.reset();  // the field outlives its recordset
  EXPECT_EQ(Raised([&] { field->Value(); }).number(), kErrObjectClosed);
}

TEST(SqlTextErrors, ANulByteIsRefusedBeforeAnyStatementRuns) {
  using namespace std::string_literals;
  SqliteFixture db(kItems);
  const std::string cases[] = {
      "select * from Items where Code = 'a\0b'"s,       // the literal would end early
      "delete from Items;\0 delete from Items"s,        // a NUL after a statement
      "delete from Items where Id = 1\0 or 1 = 1"s,     // the condition would be cut
  };
  auto rows = [&] {
    return OpenStatic("select count(*) as n from Items", db.connection_string())
        ->Value(Variant("n"));
  };
  for (const std::string& sql : cases) {
    for (long lock : {kReadOnly, kOptimistic}) {
      auto rs = NewRecordset();
      ScriptError error = Raised([&] {
        rs->Open(Variant(sql), Variant(db.connection_string()), Variant(CursorFor(lock)),
                 Variant(lock));
      });
      EXPECT_EQ(error.number(), kErrAdoArguments) << sql;
      EXPECT_NE(error.description().find("the SQL text holds a NUL byte"), std::string::npos)
          << error.description();
      EXPECT_EQ(rs->State(), 0);
    }
    // Execute used to spin for ever on the bytes after the NUL.
    auto connection = NewConnection();
    connection->Open(Variant(db.connection_string()));
    ScriptError error = Raised([&] { connection->Execute(Variant(sql)); });
    EXPECT_EQ(error.number(), kErrAdoArguments) << sql;
    EXPECT_NE(error.description().find("NUL byte"), std::string::npos) << error.description();
    connection->Close();
    EXPECT_TRUE(rows().Identical(Variant(1))) << sql;  // nothing ran
  }
}

TEST(RecordsetErrors, ObserverSeesTheSqlAsWritten) {
  SqliteFixture db(kItems);
  std::vector<std::string> seen;
  auto rs = NewRecordset([&](const std::string& sql) { seen.push_back(sql); });
  rs->Open(Variant("select top 1 * from [Items] where Code = 'a||b'"),
           Variant(db.connection_string()), Variant(3), Variant(1));
  rs->Close();
  Raised([&] {
    rs->Open(Variant("select * from [Missing]"), Variant(db.connection_string()), Variant(3),
             Variant(1));
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"select top 1 * from [Items] where Code = 'a||b'",
                                            "select * from [Missing]"}));
}

}  // namespace
}  // namespace tabrix::adodb
