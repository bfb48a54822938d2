// The declared constraints through OpenSchema: foreign keys (27) with their
// column pairs in key order, CHECK constraints (5) whose value lists read
// back on every engine; and read-only connections (Mode=Read), where a
// write fails with the engine's own error. Run on every engine of the tests
// (TABRIX_TEST_ENGINE).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host/adodb/connection.h"
#include "host/adodb/connection_pool.h"
#include "host/sql/in_check.h"
#include "host/variant_ops.h"
#include "recordset_helpers.h"
#include "support/test_database.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::TestDatabase;
using tabrix::testing::TestEngine;
using testing::OpenKeyset;
using testing::OpenStatic;
using testing::Raised;

bool OnPostgres() { return TestEngine() == "postgres"; }

// Each row's `fields` joined by "|" ("" for Null), the rows sorted.
std::vector<std::string> SortedRows(Recordset& rs, std::initializer_list<const char*> fields) {
  std::vector<std::string> rows;
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string row;
    for (const char* field : fields) {
      Variant value = rs.Value(Variant(field));
      row += (row.empty() ? "" : "|") + (value.IsNull() ? std::string() : ConcatText(value));
    }
    rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

Variant Restrict(std::vector<Variant> items) { return Variant::Array(std::move(items)); }

// Names with blanks, quotes and non-Latin letters; a self reference; a
// composite key whose referring columns come in another order than the
// referred table's; keys that name no referred columns (the primary key).
constexpr const char* kShop = R"sql(
  CREATE TABLE "Kund Ö" ("Nr ""A""" INTEGER PRIMARY KEY, Name TEXT);
  CREATE TABLE Lager (Ort TEXT, Fach INTEGER, PRIMARY KEY (Ort, Fach));
  CREATE TABLE "Заказ" (
    Id INTEGER PRIMARY KEY,
    Kunde INTEGER CONSTRAINT kunde_fk REFERENCES "Kund Ö"("Nr ""A"""),
    Kunde2 INTEGER REFERENCES "Kund Ö",
    Chef INTEGER CONSTRAINT chef_fk REFERENCES "Заказ"(Id),
    LOrt TEXT, LFach INTEGER, BOrt TEXT, BFach INTEGER,
    CONSTRAINT lager_fk FOREIGN KEY (LFach, LOrt) REFERENCES Lager(Fach, Ort),
    FOREIGN KEY (BOrt, BFach) REFERENCES Lager);
  CREATE TABLE Plain (x INTEGER);
)sql";

const std::vector<std::string> kShopPairs = {
    "Заказ|BFach|Lager|Fach|2",       "Заказ|BOrt|Lager|Ort|1",
    "Заказ|Chef|Заказ|Id|1",          "Заказ|Kunde2|Kund Ö|Nr \"A\"|1",
    "Заказ|Kunde|Kund Ö|Nr \"A\"|1", "Заказ|LFach|Lager|Fach|1",
    "Заказ|LOrt|Lager|Ort|2"};

TEST(ForeignKeys, EachColumnPairOfEachKeyInKeyOrder) {
  TestDatabase db(kShop);
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  auto rs = connection->OpenSchema(Variant(kSchemaForeignKeys), Variant());
  const char* columns[] = {"PK_TABLE_CATALOG", "PK_TABLE_SCHEMA", "PK_TABLE_NAME",
                           "PK_COLUMN_NAME",   "FK_TABLE_CATALOG", "FK_TABLE_SCHEMA",
                           "FK_TABLE_NAME",    "FK_COLUMN_NAME",   "ORDINAL",
                           "FK_NAME"};
  for (long i = 0; i < 10; ++i) EXPECT_EQ(rs->fields().Item(Variant(i))->Name(), columns[i]);
  EXPECT_EQ(SortedRows(*rs, {"FK_TABLE_NAME", "FK_COLUMN_NAME", "PK_TABLE_NAME",
                             "PK_COLUMN_NAME", "ORDINAL"}),
            kShopPairs);

  // The constraint's name where the engine keeps one; SQLite keeps none.
  rs = connection->OpenSchema(Variant(kSchemaForeignKeys), Variant());
  std::vector<std::string> named = SortedRows(*rs, {"FK_COLUMN_NAME", "FK_NAME"});
  std::vector<std::string> expected =
      OnPostgres() ? std::vector<std::string>{"BFach|Заказ_BOrt_BFach_fkey",
                                              "BOrt|Заказ_BOrt_BFach_fkey",
                                              "Chef|chef_fk",
                                              "Kunde2|Заказ_Kunde2_fkey",
                                              "Kunde|kunde_fk",
                                              "LFach|lager_fk",
                                              "LOrt|lager_fk"}
                   : std::vector<std::string>{"BFach|", "BOrt|", "Chef|", "Kunde2|",
                                              "Kunde|", "LFach|", "LOrt|"};
  EXPECT_EQ(named, expected);
}

TEST(ForeignKeys, RestrictedByReferredOrReferringTableIgnoringCase) {
  TestDatabase db(kShop);
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  auto to_lager = connection->OpenSchema(Variant(kSchemaForeignKeys),
                                         Restrict({Variant(), Variant(), Variant("LAGER")}));
  EXPECT_EQ(SortedRows(*to_lager, {"FK_COLUMN_NAME", "ORDINAL"}),
            (std::vector<std::string>{"BFach|2", "BOrt|1", "LFach|1", "LOrt|2"}));
  auto from_plain = connection->OpenSchema(
      Variant(kSchemaForeignKeys),
      Restrict({Variant(), Variant(), Variant(), Variant(), Variant(), Variant("plain")}));
  EXPECT_TRUE(from_plain->Eof());
  auto from_order = connection->OpenSchema(
      Variant(kSchemaForeignKeys),
      Restrict({Variant(), Variant(), Variant(), Variant(), Variant(), Variant("заказ")}));
  EXPECT_EQ(SortedRows(*from_order, {"FK_TABLE_NAME"}).size(), kShopPairs.size());
}

TEST(ForeignKeys, TablesWhoseNamesDifferOnlyInCaseKeepTheirOwnKeys) {
  if (!OnPostgres()) GTEST_SKIP() << "SQLite's names ignore letter case";
  TestDatabase db(R"sql(
    CREATE TABLE "Owner" (id INTEGER PRIMARY KEY);
    CREATE TABLE "owner" (id INTEGER PRIMARY KEY);
    CREATE TABLE "Pet" (id INTEGER PRIMARY KEY, o INTEGER REFERENCES "Owner"(id));
    CREATE TABLE "pet" (id INTEGER PRIMARY KEY, p INTEGER REFERENCES "owner"(id));
  )sql");
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  auto rs = connection->OpenSchema(Variant(kSchemaForeignKeys), Variant());
  EXPECT_EQ(SortedRows(*rs, {"FK_TABLE_SCHEMA", "FK_TABLE_NAME", "FK_COLUMN_NAME",
                             "PK_TABLE_SCHEMA", "PK_TABLE_NAME"}),
            (std::vector<std::string>{"public|Pet|o|public|Owner", "public|pet|p|public|owner"}));
}

constexpr const char* kChecked = R"sql(
  CREATE TABLE Orders (
    Id INTEGER PRIMARY KEY,
    Status TEXT NOT NULL CHECK (Status IN ('new', 'it''s shipped')),
    Qty INTEGER CONSTRAINT qty_positive CHECK (Qty > 0),
    Kind VARCHAR(10),
    CONSTRAINT kind_list CHECK (Kind IN ('a', 'b')));
  CREATE TABLE Other (x INTEGER CHECK (x IN (1, -2)));
)sql";

// "table|column: values" of each CHECK constraint whose clause is a list,
// "table|none" of the others, sorted.
std::vector<std::string> ListsRead(Recordset& rs) {
  std::vector<std::string> read;
  for (; !rs.Eof(); rs.MoveNext()) {
    std::optional<sql::InCheck> list =
        sql::ParseInCheck(ConcatText(rs.Value(Variant("CHECK_CLAUSE"))));
    std::string text = ConcatText(rs.Value(Variant("TABLE_NAME"))) + "|";
    if (!list) {
      text += "none";
    } else {
      text += list->column + ":";
      for (const std::string& value : list->values) text += " " + value;
    }
    read.push_back(text);
  }
  std::sort(read.begin(), read.end());
  return read;
}

TEST(CheckConstraints, TheEnginesClauseReadsBackAsTheDeclaredList) {
  TestDatabase db(kChecked);
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  auto rs = connection->OpenSchema(Variant(kSchemaCheckConstraints), Variant());
  const char* columns[] = {"CONSTRAINT_CATALOG", "CONSTRAINT_SCHEMA", "CONSTRAINT_NAME",
                           "CHECK_CLAUSE",       "DESCRIPTION",       "TABLE_NAME"};
  for (long i = 0; i < 6; ++i) EXPECT_EQ(rs->fields().Item(Variant(i))->Name(), columns[i]);
  EXPECT_EQ(ListsRead(*rs), (std::vector<std::string>{"Orders|Kind: a b", "Orders|Status: new "
                                                                          "it's shipped",
                                                      "Orders|none", "Other|x: 1 -2"}));

  auto named = connection->OpenSchema(Variant(kSchemaCheckConstraints),
                                      Restrict({Variant(), Variant(), Variant("kind_list")}));
  EXPECT_EQ(ListsRead(*named), std::vector<std::string>{"Orders|Kind: a b"});
  auto positive = connection->OpenSchema(Variant(kSchemaCheckConstraints),
                                         Restrict({Variant(), Variant(), Variant("qty_positive")}));
  ASSERT_FALSE(positive->Eof());
  EXPECT_NE(ConcatText(positive->Value(Variant("CHECK_CLAUSE"))).find("> 0"), std::string::npos);
}

constexpr const char* kOneRow = "CREATE TABLE T(x INTEGER); INSERT INTO T VALUES (1);";

std::string Values(const std::string& connection_string) {
  auto rs = OpenStatic("select x from T order by x", connection_string);
  std::string values;
  for (; !rs->Eof(); rs->MoveNext()) values += ConcatText(rs->Value(Variant("x"))) + " ";
  return values;
}

TEST(ReadOnlyMode, AWriteFailsWithTheEnginesErrorAndChangesNothing) {
  TestDatabase db(kOneRow);
  std::string read_only = db.connection_string() + ";mode=READ";
  EXPECT_EQ(Values(read_only), "1 ");

  auto connection = NewConnection();
  connection->Open(Variant(read_only));
  ScriptError by_sql = Raised([&] { connection->Execute(Variant("INSERT INTO T VALUES (2)")); });
  EXPECT_EQ(by_sql.number(), kErrProvider);
  EXPECT_NE(by_sql.description().find(OnPostgres() ? "read-only transaction" : "readonly"),
            std::string::npos)
      << by_sql.description();
  connection->Close();

  ScriptError by_cursor = Raised([&] {
    auto rs = OpenKeyset("select x from T", read_only);
    rs->AddNew();
    rs->SetValue(Variant("x"), Variant(3));
    rs->Update();
  });
  EXPECT_EQ(by_cursor.number(), kErrProvider);

  EXPECT_EQ(Values(db.connection_string()), "1 ");
  ConnectionPool::Current().CloseIdle(read_only);
}

TEST(ReadOnlyMode, ReadWriteWritesAndAnUnknownModeIsRefused) {
  TestDatabase db(kOneRow);
  std::string read_write = db.connection_string() + ";Mode=ReadWrite";
  auto connection = NewConnection();
  connection->Open(Variant(read_write));
  connection->Execute(Variant("INSERT INTO T VALUES (2)"));
  connection->Close();
  EXPECT_EQ(Values(db.connection_string()), "1 2 ");
  ConnectionPool::Current().CloseIdle(read_write);

  ScriptError refused = Raised([&] {
    NewConnection()->Open(Variant(db.connection_string() + ";Mode=Share Deny Write"));
  });
  EXPECT_EQ(refused.number(), kErrAdoArguments);
  EXPECT_NE(refused.description().find("Mode"), std::string::npos) << refused.description();
}

}  // namespace
}  // namespace tabrix::adodb
