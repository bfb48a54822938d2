// The PostgreSQL catalog through OpenSchema and field attributes: tables of
// the search path only, sorted by type and name; columns in their own
// order; names with spaces, quotes, keywords and non-Latin letters; which
// columns the forms may write.
#include <gtest/gtest.h>

#include <string>

#include "host/adodb/connection.h"
#include "host/adodb/recordset_helpers.h"
#include "host/variant_ops.h"
#include "support/error_number.h"
#include "support/postgres_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::ErrorNumberOf;
using tabrix::testing::PostgresFixture;
using testing::OpenKeyset;
using testing::OpenStatic;

constexpr const char* kOddSchema = R"sql(
  CREATE TABLE "Order Items"("Item Id" serial PRIMARY KEY, "Unit Price" numeric(10, 2),
                             "say ""hi""" text, "select" int, dropped int, "Note" varchar(40));
  ALTER TABLE "Order Items" DROP COLUMN dropped;
  CREATE TABLE "Müşteri"("Adı" text, "ŞEHİR" text);
  CREATE TABLE beta(k text);
  CREATE VIEW "Alpha View" AS SELECT "Item Id", "Unit Price" FROM "Order Items";
  CREATE SCHEMA hidden;
  CREATE TABLE hidden.secret(x int);
  INSERT INTO "Order Items"("Unit Price", "say ""hi""", "select", "Note")
    VALUES (12.50, 'a\b', 7, 'n');
  INSERT INTO "Müşteri" VALUES ('Ayşe', 'İzmir');
)sql";

std::string Rows(Recordset& rs, std::initializer_list<const char*> fields) {
  std::string text;
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string row;
    for (const char* field : fields)
      row += (row.empty() ? "" : "/") + ConcatText(rs.Value(Variant(field)));
    text += (text.empty() ? "" : " ") + row;
  }
  return text;
}

Variant Restrict(const char* table) {
  return Variant::Array({Variant(), Variant(), table ? Variant(table) : Variant(), Variant()});
}

TEST(PostgresSchema, TablesOfTheSearchPathSortedByTypeAndName) {
  PostgresFixture db(kOddSchema);
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  auto rs = connection->OpenSchema(Variant(kSchemaTables), Variant());
  EXPECT_EQ(Rows(*rs, {"TABLE_TYPE", "TABLE_NAME"}),
            "TABLE/beta TABLE/Müşteri TABLE/Order Items VIEW/Alpha View");
}

TEST(PostgresSchema, ColumnsInTheirOwnOrderPastADroppedOne) {
  PostgresFixture db(kOddSchema);
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  auto rs = connection->OpenSchema(Variant(kSchemaColumns), Restrict("order items"));
  EXPECT_EQ(Rows(*rs, {"COLUMN_NAME", "ORDINAL_POSITION", "DATA_TYPE", "IS_NULLABLE"}),
            "Item Id/1/3/False Unit Price/2/131/True say \"hi\"/3/202/True select/4/3/True "
            "Note/5/202/True");
  // A name with capitals beyond ASCII finds its table as written and in
  // another case: the catalog's names are lowered as the parameter is.
  for (const char* name : {"Müşteri", "müşteri", "MÜŞTERI"}) {
    auto columns = connection->OpenSchema(Variant(kSchemaColumns), Restrict(name));
    EXPECT_EQ(Rows(*columns, {"COLUMN_NAME"}), "Adı ŞEHİR") << name;
  }
}

TEST(PostgresSchema, LegacyNamesFindTheCatalogsSpellings) {
  PostgresFixture db(kOddSchema);
  struct {
    const char* sql;
    const char* field;
    const char* value;
  } cases[] = {
      {"select [unit price] from [ORDER ITEMS] where [select] = 7", "Unit Price", "12.5"},
      {"select [Say \"HI\"] from [order items]", "say \"hi\"", "a\\b"},
      {"select top 1 adı, [şEHİR] from müşteri", "ŞEHİR", "İzmir"},
      {"select Note as Shout from [Order Items] order by Shout", "Shout", "n"},
      {"select i.[item id] from [alpha view] i where i.[Unit Price] > 12", "Item Id", "1"},
  };
  for (const auto& c : cases) {
    auto rs = OpenStatic(c.sql, db.connection_string());
    EXPECT_EQ(ConcatText(rs->Value(Variant(c.field))), c.value) << c.sql;
    EXPECT_EQ(rs->fields().Item(Variant(c.field))->Name(), c.field) << c.sql;
  }
}

// Tables and columns whose names differ only in letter case: each name
// finds its own spelling, through the rewrite, a keyset write and Fields;
// a spelling that is neither stands for none of them.
TEST(PostgresSchema, NamesThatDifferOnlyInCaseKeepApart) {
  PostgresFixture db(R"sql(
    CREATE TABLE "Secret"(id int PRIMARY KEY, "Email" text, email text);
    CREATE TABLE secret(id int PRIMARY KEY, note text);
    INSERT INTO "Secret" VALUES (1, 'upper', 'lower');
    INSERT INTO secret VALUES (1, 'plain');
  )sql");
  EXPECT_EQ(Rows(*OpenStatic("select * from Secret", db.connection_string()), {"Email", "email"}),
            "upper/lower");
  EXPECT_EQ(Rows(*OpenStatic("select * from [secret]", db.connection_string()), {"note"}),
            "plain");
  EXPECT_NE(ErrorNumberOf([&] { OpenStatic("select * from [SECRET]", db.connection_string()); }),
            0);

  auto rs = OpenKeyset("select * from [Secret] where id = 1", db.connection_string());
  rs->SetValue(Variant("email"), Variant("new"));
  rs->Update();
  EXPECT_EQ(rs->fields().Item(Variant("email"))->Name(), "email");
  EXPECT_EQ(Rows(*OpenStatic("select * from Secret", db.connection_string()), {"Email", "email"}),
            "upper/new");
}

TEST(PostgresSchema, AttributesMarkWhatTheFormsMayWrite) {
  PostgresFixture db(R"sql(
    CREATE TABLE Items(
      Id serial PRIMARY KEY,
      Code text NOT NULL,
      Note varchar(50),
      Price money,
      Total numeric GENERATED ALWAYS AS (Qty * 2) STORED,
      Qty int,
      Seq int GENERATED ALWAYS AS IDENTITY,
      Flag boolean NOT NULL DEFAULT false);
    CREATE TABLE Coded(Code text PRIMARY KEY, Name text);
    CREATE VIEW ItemView AS SELECT Id, Code, Note FROM Items;
  )sql");
  struct {
    const char* sql;
    const char* field;
    long attributes;
  } cases[] = {
      {"select * from Items", "Id", 0x10},  // serial
      {"select * from Items", "Code", 0x4 | 0x8},
      {"select * from Items", "Note", 0x4 | 0x8 | 0x20 | 0x40},
      {"select * from Items", "Price", 0x4 | 0x8 | 0x10 | 0x20 | 0x40},
      {"select * from Items", "Total", 0x10 | 0x20 | 0x40},  // generated
      {"select * from Items", "Seq", 0x10},                  // identity
      {"select * from Items", "Flag", 0x4 | 0x8 | 0x10},
      {"select * from Coded", "Code", 0x4 | 0x8},
      {"select * from ItemView", "Code", 0x20 | 0x40},
      {"select Code || '!' as Shout from Items", "Shout", 0x20 | 0x40},
      {"select i.Code, c.Name from Items i join Coded c on c.Code = i.Code", "Name",
       0x4 | 0x8 | 0x20 | 0x40},
  };
  for (const auto& c : cases) {
    auto rs = OpenStatic(c.sql, db.connection_string());
    EXPECT_EQ(rs->fields().Item(Variant(c.field))->Attributes(), c.attributes)
        << c.sql << " / " << c.field;
  }
}

}  // namespace
}  // namespace tabrix::adodb
