// Failures of the facade: connection strings, files that are not there (and
// must not be created), provider messages kept as they are, SQL text the
// engine cannot read whole, and misuse of recordsets and fields.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "host/adodb/connection_pool.h"
#include "recordset_helpers.h"
#include "support/error_number.h"
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
  EXPECT_EQ(error.description(), "the database file " + missing.string() + " does not exist");
  EXPECT_EQ(error.native().failure, DbFailure::kConnection);
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
            "the database file " + (db.folder() / "other.db").string() + " does not exist");
  ConnectionPool::Current().CloseIdle("Provider=SQLite;Data Source=test.db");
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

TEST(RecordsetErrors, AFieldKeptAcrossCloseAndOpenIsNoLongerValid) {
  SqliteFixture db(
      "CREATE TABLE Items(Id INTEGER PRIMARY KEY, Code TEXT, Note TEXT);"
      "INSERT INTO Items VALUES (1, 'a', 'first'), (2, 'b', 'second');");
  const std::string kAll = "select Id, Code, Note from Items";
  struct {
    const char* id;
    std::string reopened;
  } cases[] = {
      {"fewer columns: the kept position is past the end", "select Id from Items"},
      {"the same columns", kAll},
      {"no rows", "select Id, Code, Note from Items where Id = 0"},
  };
  for (const auto& c : cases) {
    for (long lock : {kReadOnly, kOptimistic}) {
      SCOPED_TRACE(std::string(c.id) + (lock == kReadOnly ? ", read-only" : ", keyset"));
      auto rs = NewRecordset();
      rs->Open(Variant(kAll), Variant(db.connection_string()), Variant(CursorFor(lock)),
               Variant(lock));
      std::shared_ptr<Field> kept = rs->fields().Item(Variant("Note"));
      rs->Close();
      EXPECT_EQ(Raised([&] { kept->Value(); }).number(), kErrObjectClosed);

      rs->Open(Variant(c.reopened), Variant(db.connection_string()), Variant(CursorFor(lock)),
               Variant(lock));
      ScriptError error = Raised([&] { kept->Value(); });
      EXPECT_EQ(error.number(), kErrObjectNotValid);
      EXPECT_EQ(error.description(),
                "Object is no longer valid: the field 'Note' belongs to an earlier open");
      EXPECT_EQ(Raised([&] { kept->SetValue(Variant("x")); }).number(), kErrObjectNotValid);
      EXPECT_EQ(kept->Name(), "Note");  // what it described stays readable
      // The new open's own fields read the new result.
      if (!rs->Eof()) {
        EXPECT_TRUE(rs->fields().Item(Variant(0))->Value().Identical(Variant(1)));
      }
    }
  }
}

TEST(RecordsetErrors, AMoveBeyondTheRangeOfPositionsRaisesAndStaysPut) {
  SqliteFixture db(kItems);
  db.Run("INSERT INTO Items VALUES (2, 'b'), (3, 'c');");
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  for (long lock : {kReadOnly, kOptimistic}) {
    SCOPED_TRACE(lock == kReadOnly ? "read-only" : "keyset");
    auto rs = NewRecordset();
    rs->Open(Variant("select * from Items order by Id"), Variant(db.connection_string()),
             Variant(CursorFor(lock)), Variant(lock));
    rs->MoveNext();  // the second row: one more step than the largest position
    std::string description;
    EXPECT_EQ(tabrix::testing::ErrorNumberOf([&] { rs->Move(kMax); }, &description),
              kErrAdoArguments);
    EXPECT_NE(description.find("beyond the range of positions"), std::string::npos)
        << description;
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    // The largest reachable target only passes the end.
    rs->Move(kMax - 1);
    EXPECT_TRUE(rs->Eof());
    rs->MoveFirst();
    rs->Move(std::numeric_limits<std::int64_t>::min());
    EXPECT_TRUE(rs->Bof());
  }
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
