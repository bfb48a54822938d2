// The schema rowsets of OpenSchema: tables sorted by type and name ignoring
// case, columns in the table's own order, restrictions, and no error for a
// table that is not there.
#include <gtest/gtest.h>

#include <string>

#include "host/variant_ops.h"
#include "recordset_helpers.h"
#include "support/sqlite_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::SqliteFixture;
using testing::Raised;

constexpr const char* kCatalog = R"sql(
  CREATE TABLE zeta(Id INTEGER PRIMARY KEY AUTOINCREMENT, B TEXT, A TEXT NOT NULL DEFAULT 'x',
                    C VARCHAR(40));
  CREATE TABLE Alpha(K TEXT);
  CREATE TABLE beta(K TEXT);
  CREATE VIEW Gamma AS SELECT * FROM Alpha;
  CREATE VIEW aView AS SELECT 1 AS One;
  INSERT INTO zeta(B) VALUES ('b');
)sql";

class Schema : public ::testing::Test {
 protected:
  void SetUp() override { connection_->Open(Variant(db_.connection_string())); }

  // "a/b" per row of the given fields, rows joined by " ".
  static std::string Rows(Recordset& rs, std::initializer_list<const char*> fields) {
    std::string text;
    for (; !rs.Eof(); rs.MoveNext()) {
      std::string row;
      for (const char* field : fields)
        row += (row.empty() ? "" : "/") + ConcatText(rs.Value(Variant(field)));
      text += (text.empty() ? "" : " ") + row;
    }
    return text;
  }
  static Variant Restrict(const char* table, const char* fourth = nullptr) {
    return Variant::Array({Variant(), Variant(), table ? Variant(table) : Variant(),
                           fourth ? Variant(fourth) : Variant()});
  }

  SqliteFixture db_{kCatalog};
  std::shared_ptr<Connection> connection_ = NewConnection();
};

TEST_F(Schema, TablesSortedByTypeThenName) {
  auto rs = connection_->OpenSchema(Variant(kSchemaTables), Variant());
  EXPECT_EQ(Rows(*rs, {"TABLE_TYPE", "TABLE_NAME"}),
            "SYSTEM TABLE/sqlite_sequence TABLE/Alpha TABLE/beta TABLE/zeta VIEW/aView VIEW/Gamma");
  const char* first_fields[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"};
  for (long i = 0; i < 4; ++i) EXPECT_EQ(rs->fields().Item(Variant(i))->Name(), first_fields[i]);
}

TEST_F(Schema, TablesRestrictedByNameAndType) {
  auto by_name = connection_->OpenSchema(Variant(kSchemaTables), Restrict("ALPHA"));
  EXPECT_EQ(Rows(*by_name, {"TABLE_NAME"}), "Alpha");
  auto views = connection_->OpenSchema(Variant(kSchemaTables), Restrict(nullptr, "VIEW"));
  EXPECT_EQ(Rows(*views, {"TABLE_NAME"}), "aView Gamma");
}

TEST_F(Schema, ColumnsInTheTablesOwnOrder) {
  auto rs = connection_->OpenSchema(Variant(kSchemaColumns), Restrict("ZETA"));
  EXPECT_EQ(Rows(*rs, {"TABLE_NAME", "COLUMN_NAME", "ORDINAL_POSITION", "DATA_TYPE", "IS_NULLABLE",
                       "CHARACTER_MAXIMUM_LENGTH"}),
            "zeta/Id/1/3/False/ zeta/B/2/202/True/ zeta/A/3/202/False/ zeta/C/4/202/True/40");
  rs->MoveFirst();
  rs->Move(2);
  EXPECT_TRUE(rs->Value(Variant("COLUMN_HASDEFAULT")).Identical(Variant(true)));
  EXPECT_TRUE(rs->Value(Variant("COLUMN_DEFAULT")).Identical(Variant("'x'")));

  auto view = connection_->OpenSchema(Variant(kSchemaColumns), Restrict("gamma"));
  EXPECT_EQ(Rows(*view, {"COLUMN_NAME"}), "K");
  auto one = connection_->OpenSchema(Variant(kSchemaColumns), Restrict("zeta", "c"));
  EXPECT_EQ(Rows(*one, {"COLUMN_NAME", "ORDINAL_POSITION"}), "C/4");
}

TEST_F(Schema, MissingTableGivesNoRows) {
  auto rs = connection_->OpenSchema(Variant(kSchemaColumns), Restrict("Nope"));
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(rs->fields().Item(Variant("COLUMN_NAME"))->Name(), "COLUMN_NAME");
  // The rowset is read-only, like every schema answer.
  EXPECT_EQ(Raised([&] { rs->AddNew(); }).number(), kErrAdoNotSupported);
}

TEST_F(Schema, AllColumnsFollowTheTablesOrder) {
  auto rs = connection_->OpenSchema(Variant(kSchemaColumns), Variant());
  EXPECT_EQ(Rows(*rs, {"TABLE_NAME", "COLUMN_NAME"}),
            "sqlite_sequence/name sqlite_sequence/seq Alpha/K beta/K zeta/Id zeta/B zeta/A zeta/C "
            "aView/One Gamma/K");
}

TEST_F(Schema, Errors) {
  EXPECT_EQ(Raised([&] { connection_->OpenSchema(Variant(99), Variant()); }).number(),
            kErrAdoNotSupported);
  EXPECT_EQ(Raised([&] { connection_->Open(Variant(db_.connection_string())); }).number(),
            kErrObjectOpen);
  connection_->Close();
  EXPECT_EQ(connection_->State(), 0);
  EXPECT_EQ(Raised([&] { connection_->OpenSchema(Variant(kSchemaTables), Variant()); }).number(),
            kErrObjectClosed);
  EXPECT_EQ(Raised([&] { connection_->Close(); }).number(), kErrObjectClosed);
}

}  // namespace
}  // namespace tabrix::adodb
