// The keyset cursor of the writing pages: AddNew + Update inserts one row
// and shows its new key, Update and Delete address the current row by its
// key, and a failed write leaves nothing behind.
#include <gtest/gtest.h>

#include <string>

#include "host/variant_ops.h"
#include "recordset_helpers.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;
using testing::OpenKeyset;
using testing::OpenStatic;
using testing::Raised;

constexpr const char* kShop = R"sql(
  CREATE TABLE Items(Id INTEGER PRIMARY KEY AUTOINCREMENT, Code TEXT NOT NULL UNIQUE,
                     Note TEXT DEFAULT 'none', Added DATE);
  INSERT INTO Items(Code) VALUES ('a'), ('b');
  CREATE TABLE Loose(Name TEXT, Qty INTEGER);
  INSERT INTO Loose VALUES ('x', 1), ('x', 1), ('y', 2);
  CREATE TABLE Pairs(A TEXT, B INTEGER, V TEXT, PRIMARY KEY (A, B)) WITHOUT ROWID;
  INSERT INTO Pairs VALUES ('p', 1, 'one');
  CREATE VIEW ItemView AS SELECT * FROM Items;
)sql";

class KeysetCursor : public ::testing::Test {
 protected:
  SqliteFixture db_{kShop};
  std::shared_ptr<Recordset> Keyset(const std::string& sql) {
    return OpenKeyset(sql, db_.connection_string());
  }
  // The rows of `sql` as "a,b;a,b;" text.
  std::string Rows(const std::string& sql) {
    auto rs = OpenStatic(sql, db_.connection_string());
    std::string text;
    for (; !rs->Eof(); rs->MoveNext()) {
      for (long i = 0; i < rs->fields().Count(); ++i)
        text += (i ? "," : "") + ConcatText(rs->Value(Variant(i)));
      text += ";";
    }
    return text;
  }
};

TEST_F(KeysetCursor, AddNewReportsTheNewKeyAndDefaults) {
  auto rs = Keyset("select top 1 * from [Items]");
  rs->AddNew();
  EXPECT_FALSE(rs->Eof());
  EXPECT_TRUE(rs->Value(Variant("Id")).IsNull());  // not assigned yet
  rs->SetValue(Variant("Code"), Variant("c"));
  EXPECT_TRUE(rs->Value(Variant("Code")).Identical(Variant("c")));
  rs->Update();
  EXPECT_TRUE(rs->Value(Variant("Id")).Identical(Variant(3)));
  EXPECT_TRUE(rs->Value(Variant("Note")).Identical(Variant("none")));
  EXPECT_TRUE(rs->Value(Variant("Added")).IsNull());
  rs->Close();
  EXPECT_EQ(Rows("select Id, Code, Note from Items order by Id desc"),
            "3,c,none;2,b,none;1,a,none;");
}

TEST_F(KeysetCursor, UpdateChangesTheCurrentRow) {
  auto rs = Keyset("select * from [Items] WHERE Id=2");
  rs->SetValue(Variant("Note"), Variant("changed"));
  rs->fields().Item(Variant("added"))->SetValue(Variant(MakeDate({2008, 6, 5})));
  rs->Update();
  EXPECT_TRUE(rs->Value(Variant("Note")).Identical(Variant("changed")));
  EXPECT_EQ(Rows("select Id, Note, Added || '' from Items order by Id"),
            "1,none,;2,changed,2008-06-05;");
}

TEST_F(KeysetCursor, MovingWritesAPendingChange) {
  auto rs = Keyset("select * from Items order by Id");
  rs->SetValue(Variant("Note"), Variant("first"));
  rs->MoveNext();
  rs->SetValue(Variant("Note"), Variant("dropped"));
  rs->CancelUpdate();
  rs->Close();
  EXPECT_EQ(Rows("select Note from Items order by Id"), "first;none;");
}

TEST_F(KeysetCursor, DeleteRemovesTheCurrentRow) {
  auto rs = Keyset("select * from Items where Id in (1, 2) order by Id");
  EXPECT_EQ(rs->RecordCount(), 2);
  rs->Delete();
  EXPECT_EQ(Raised([&] { rs->Value(Variant("Id")); }).number(), kErrNoCurrentRecord);
  rs->MoveNext();
  EXPECT_TRUE(rs->Value(Variant("Id")).Identical(Variant(2)));
  rs->Delete();
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_EQ(Rows("select count(*) from Items"), "0;");
}

TEST_F(KeysetCursor, FailedWritesKeepTheProvidersMessageAndStoreNothing) {
  auto rs = Keyset("select * from Items order by Id");
  rs->AddNew();
  rs->SetValue(Variant("Code"), Variant("a"));
  ScriptError error = Raised([&] { rs->Update(); });
  EXPECT_EQ(error.number(), kErrProvider);
  EXPECT_EQ(error.description(), "UNIQUE constraint failed: Items.Code");
  rs->CancelUpdate();
  EXPECT_TRUE(rs->Value(Variant("Id")).Identical(Variant(1)));  // back where it was

  rs->AddNew();
  error = Raised([&] { rs->Update(); });
  EXPECT_EQ(error.description(), "NOT NULL constraint failed: Items.Code");
  rs->CancelUpdate();

  rs->SetValue(Variant("Code"), Variant("b"));
  EXPECT_EQ(Raised([&] { rs->Update(); }).description(), "UNIQUE constraint failed: Items.Code");
  rs->CancelUpdate();
  rs->Close();
  EXPECT_EQ(Rows("select Id, Code from Items order by Id"), "1,a;2,b;");
}

TEST_F(KeysetCursor, RowChangedUnderneathIsReported) {
  auto rs = Keyset("select * from Items where Id = 2");
  db_.Run("DELETE FROM Items WHERE Id = 2");
  rs->SetValue(Variant("Note"), Variant("late"));
  ScriptError error = Raised([&] { rs->Update(); });
  EXPECT_EQ(error.number(), kErrProvider);
  EXPECT_NE(error.description().find("Row cannot be located for updating"), std::string::npos);
}

TEST_F(KeysetCursor, RefusesWritesItCannotAddress) {
  struct {
    const char* sql;
    const char* field;
  } cases[] = {
      {"select Id, Code || '!' as Shout from Items", "Shout"},  // an expression
      {"select * from ItemView", "Note"},                       // a view
      {"select i.Code, l.Name from Items i, Loose l", "Name"},  // a join
  };
  for (const auto& c : cases) {
    auto rs = Keyset(c.sql);
    EXPECT_EQ(Raised([&] { rs->SetValue(Variant(c.field), Variant("x")); }).number(),
              kErrAdoNotSupported)
        << c.sql;
  }
  auto read_only = OpenStatic("select * from Items", db_.connection_string());
  EXPECT_EQ(Raised([&] { read_only->AddNew(); }).number(), kErrAdoNotSupported);
  EXPECT_EQ(Raised([&] { read_only->SetValue(Variant("Note"), Variant("x")); }).number(),
            kErrAdoNotSupported);
  EXPECT_EQ(Raised([&] { read_only->Update(); }).number(), kErrAdoNotSupported);
  EXPECT_EQ(Raised([&] { read_only->Delete(); }).number(), kErrAdoNotSupported);
}

TEST_F(KeysetCursor, TableWithoutAKeyChangesOneRowAtATime) {
  auto rs = Keyset("select * from Loose where Name = 'x'");
  rs->SetValue(Variant("Qty"), Variant(5));
  rs->Update();
  rs->MoveNext();
  rs->Delete();
  rs->Close();
  EXPECT_EQ(Rows("select Name, Qty from Loose order by Name, Qty"), "x,5;y,2;");
}

TEST_F(KeysetCursor, WithoutRowIdTableUsesItsKey) {
  auto rs = Keyset("select * from Pairs");
  rs->AddNew();
  rs->SetValue(Variant("A"), Variant("q"));
  rs->SetValue(Variant("B"), Variant(2));
  rs->SetValue(Variant("V"), Variant("two"));
  rs->Update();
  EXPECT_TRUE(rs->Value(Variant("V")).Identical(Variant("two")));
  rs->MoveFirst();
  rs->SetValue(Variant("B"), Variant(7));  // the key itself changes
  rs->SetValue(Variant("V"), Variant("uno"));
  rs->Update();
  EXPECT_TRUE(rs->Value(Variant("B")).Identical(Variant(7)));
  rs->Close();
  EXPECT_EQ(Rows("select A, B, V from Pairs order by A"), "p,7,uno;q,2,two;");
}

}  // namespace
}  // namespace tabrix::adodb
