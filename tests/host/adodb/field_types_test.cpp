// Field types from declared column types and values, and the attribute bits
// that tell the forms which columns they may write.
#include <gtest/gtest.h>

#include <string>

#include "host/adodb/sqlite/sqlite_types.h"
#include "recordset_helpers.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;
using testing::OpenStatic;

struct DeclaredCase {
  const char* declared;
  long type;
};

constexpr DeclaredCase kDeclaredTypes[] = {
    {"INT", 3},
    {"INTEGER", 3},
    {"MEDIUMINT", 3},
    {"SMALLINT", 2},
    {"TINYINT", 17},
    {"BIGINT", 20},
    {"UNSIGNED BIG INT", 20},
    {"INT8", 20},
    {"BOOLEAN", 11},
    {"BOOL", 11},
    {"BIT", 11},
    {"REAL", 5},
    {"DOUBLE", 5},
    {"DOUBLE PRECISION", 5},
    {"FLOAT", 5},
    {"DECIMAL(10,5)", 131},
    {"NUMERIC", 131},
    {"MONEY", 6},
    {"CURRENCY", 6},
    {"DATE", 7},
    {"DATETIME", 135},
    {"TIMESTAMP", 135},
    {"CHAR(10)", 130},
    {"NCHAR(55)", 130},
    {"CHARACTER(20)", 130},
    {"NATIVE CHARACTER(70)", 130},
    {"VARCHAR(50)", 202},
    {"varchar(50)", 202},
    {"NVARCHAR(100)", 202},
    {"VARYING CHARACTER(255)", 202},
    {"TEXT", 202},
    {"CLOB", 203},
    {"MEMO", 203},
    {"LONGTEXT", 203},
    {"NTEXT", 203},
    {"BLOB", 205},
    {"IMAGE", 205},
    {"VARBINARY", 204},
    {"UUID", 72},
    {"GUID", 72},
    // Names outside the table follow SQLite's affinity rules, quirks included.
    {"POINT", 3},
    {"FLOATING POINT", 3},
    {"MYCHARS", 202},
    {"BLOBBY", 205},
    {"STRING", 131},
    {"XYZ", 131},
};

TEST(FieldTypes, MapDeclaredTypes) {
  for (const DeclaredCase& c : kDeclaredTypes)
    EXPECT_EQ(sqlite::TypeFromDeclared(c.declared), c.type) << c.declared;
  EXPECT_EQ(sqlite::TypeFromDeclared(""), 0);
  EXPECT_EQ(sqlite::DefinedSizeFromDeclared("VARCHAR( 50)"), 50);
  EXPECT_EQ(sqlite::DefinedSizeFromDeclared("TEXT"), 0);
}

TEST(FieldTypes, ReachTheFieldsOfARealTable) {
  std::string create = "CREATE TABLE T(";
  for (size_t i = 0; i < std::size(kDeclaredTypes); ++i)
    create += (i ? ", c" : "c") + std::to_string(i) + " " + kDeclaredTypes[i].declared;
  SqliteFixture db(create + ");");
  auto rs = OpenStatic("select * from T", db.connection_string());
  ASSERT_EQ(rs->fields().Count(), static_cast<long>(std::size(kDeclaredTypes)));
  for (size_t i = 0; i < std::size(kDeclaredTypes); ++i)
    EXPECT_EQ(rs->fields().Item(Variant(static_cast<long>(i)))->Type(), kDeclaredTypes[i].type)
        << kDeclaredTypes[i].declared;
  EXPECT_EQ(rs->fields().Item(Variant("c26"))->DefinedSize(), 50);  // VARCHAR(50)
}

TEST(FieldTypes, ExpressionsTakeTheTypeOfTheirFirstValue) {
  SqliteFixture db("CREATE TABLE U(a); INSERT INTO U VALUES (5), ('x');");
  auto rs = OpenStatic("select 1 + 1 as i, 2.5 as r, 'x' as s, x'00' as b, null as n, a from U",
                       db.connection_string());
  const long expected[] = {20, 5, 202, 205, 202, 20};
  for (long i = 0; i < 6; ++i)
    EXPECT_EQ(rs->fields().Item(Variant(i))->Type(), expected[i]) << "column " << i;
  // With no row to look at, an expression is text.
  auto empty = OpenStatic("select 1 + 1 as i from U where 0", db.connection_string());
  EXPECT_EQ(empty->fields().Item(Variant("i"))->Type(), 202);
}

TEST(FieldAttributes, MarkWhatTheFormsMayWrite) {
  SqliteFixture db(R"sql(
    CREATE TABLE Items(
      Id INTEGER PRIMARY KEY AUTOINCREMENT,
      Code TEXT NOT NULL,
      Note VARCHAR(50),
      Price MONEY,
      Total REAL GENERATED ALWAYS AS (Price * 2) VIRTUAL,
      Flag BOOLEAN NOT NULL DEFAULT 0);
    CREATE TABLE Plain(Id INTEGER PRIMARY KEY, Name TEXT);
    CREATE TABLE Coded(Code TEXT PRIMARY KEY, Name TEXT);
    CREATE TABLE BigKey(Id BIGINT PRIMARY KEY, Name TEXT);
    CREATE VIEW ItemView AS SELECT Id, Code, Note FROM Items;
  )sql");
  struct {
    const char* sql;
    const char* field;
    long attributes;
  } cases[] = {
      {"select * from Items", "Id", 0x10},  // the row id alias, with AUTOINCREMENT
      {"select * from Items", "Code", 0x4 | 0x8},
      {"select * from Items", "Note", 0x4 | 0x8 | 0x20 | 0x40},
      {"select * from Items", "Price", 0x4 | 0x8 | 0x10 | 0x20 | 0x40},
      {"select * from Items", "Total", 0x10 | 0x20 | 0x40},  // generated
      {"select * from Items", "Flag", 0x4 | 0x8 | 0x10},
      {"select * from Plain", "Id", 0x10},               // the row id alias, without AUTOINCREMENT
      {"select * from Coded", "Code", 0x4 | 0x8},        // a text key is the user's to write
      {"select * from BigKey", "Id", 0x4 | 0x8 | 0x10},  // BIGINT is not the row id alias
      {"select * from ItemView", "Id", 0x10},
      {"select * from ItemView", "Code", 0},
      {"select * from ItemView", "Note", 0x20 | 0x40},
      {"select Code || '!' as Shout from Items", "Shout", 0x20 | 0x40},
      {"select i.Code, p.Name from Items i join Plain p on p.Id = i.Id", "Name",
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
