// SQL helpers: a record id becomes the literal of the key field's type, and
// a query's first value comes back plain, as a number or formatted.
#include <gtest/gtest.h>

#include <string>

#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "support/test_database.h"
#include "values/sql_literal.h"

namespace tabrix {
namespace {

constexpr const char* kKeys = R"sql(
  CREATE TABLE Numbered (Id INTEGER PRIMARY KEY, Name TEXT);
  CREATE TABLE Coded (Code VARCHAR(10) PRIMARY KEY, Name TEXT);
  CREATE TABLE Guid (G UUID PRIMARY KEY);
  CREATE TABLE Prices (Id INTEGER PRIMARY KEY, Price REAL, Note TEXT);
  INSERT INTO Prices VALUES (1, 1234.5, NULL), (2, NULL, 'x');
)sql";

class SqlHelpers : public ::testing::Test {
 protected:
  SqlHelpers() : db_(kKeys) { h_.Set("set_dns", Variant(db_.connection_string())); }
  void TearDown() override { Locale::SetCurrent("en-US"); }

  // IdSQL of `id` on `table`, its field list loaded, as SQL text.
  std::string IdLiteral(const char* table, const Variant& id) {
    Tabrix1& o = h_.object();
    o.GetTableSpesific(Variant(table));
    o.GetFieldList(Variant(table));
    return SqlLiteralText(o.IdSQL(id));
  }

  testing::TestDatabase db_;
  testing::ComponentHarness h_;
};

TEST_F(SqlHelpers, IdSqlWritesTheLiteralOfTheKeyFieldsType) {
  struct Case {
    const char* table;
    Variant id;
    const char* literal;
  };
  const Case cases[] = {
      {"Numbered", Variant("42"), "42"},
      {"Numbered", Variant("42abc"), "0"},
      {"Numbered", Variant(""), "0"},
      {"Numbered", Variant("12.5"), "12.5"},
      {"Numbered", Variant("9007199254740993"), "9007199254740993"},  // exact past 2^53
      {"Numbered", Variant(" -7 "), "-7"},
      {"Coded", Variant("O'Brien"), "'O''Brien'"},
      {"Coded", Variant("a|b"), "'a||b'"},
      {"Coded", Variant("42"), "'42'"},
      {"Guid", Variant("17"), "17"},  // a GUID key is written bare
  };
  for (const Case& c : cases)
    EXPECT_EQ(IdLiteral(c.table, c.id), c.literal) << c.table << " " << ToText(c.id);
}

TEST_F(SqlHelpers, IdSqlQuotesWhenNoFieldListIsLoaded) {
  Tabrix1& o = h_.object();
  o.GetTableSpesific(Variant("Numbered"));
  EXPECT_TRUE(o.IdSQL(Variant("42")).Identical(Variant("'42'")));
}

TEST_F(SqlHelpers, IdSqlNumbersAreInvariantWhateverTheLocale) {
  Locale::SetCurrent("de-DE");
  EXPECT_EQ(IdLiteral("Numbered", Variant("12,5")), "12.5");
}

TEST_F(SqlHelpers, SqlSonucShapesTheFirstValueByTip) {
  struct Case {
    const char* sql;
    Variant tip;
    Variant result;
  };
  const Case cases[] = {
      {"select Price from Prices where Id = 1", Variant(0), Variant(1234.5)},
      {"select Price from Prices where Id = 1", Variant(1), Variant(1234.5)},
      {"select Price from Prices where Id = 1", Variant(3), Variant("1,234.50")},
      {"select Note from Prices where Id = 2", Variant(1), Variant("0")},  // not numeric
      {"select Note from Prices where Id = 1", Variant(0), Variant::Null()},
      {"select Price from Prices where Id = 9", Variant(0), Variant("")},  // no row
      {"select Price from Prices where Id = 9", Variant(1), Variant("0")},
      {"select Price from Prices where Id = 9", Variant(3), Variant("0.00")},
  };
  for (const Case& c : cases) {
    Variant result = h_.object().SqlSonuc(Variant(c.sql), c.tip);
    EXPECT_TRUE(result.Identical(c.result)) << c.sql << " tip " << ToText(c.tip) << ": "
                                            << result.TypeName() << " " << ConcatText(result);
  }
}

TEST_F(SqlHelpers, SqlSonucDnsRunsOnTheGivenConnectionAndRaisesItsErrors) {
  Tabrix1& o = h_.object();
  h_.Set("set_dns", Variant(""));
  EXPECT_TRUE(o.SqlSonucDns(Variant("select count(*) from Prices"), Variant(0),
                            Variant(db_.connection_string()))
                  .Identical(Variant(2)));
  try {
    o.SqlSonucDns(Variant("select * from Missing"), Variant(0), Variant(db_.connection_string()));
    ADD_FAILURE() << "no error";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrProvider);
    // The engine's own message, as each engine words it.
    const char* message = testing::TestEngine() == "postgres"
                              ? "relation \"missing\" does not exist"
                              : "no such table: Missing";
    EXPECT_NE(e.description().find(message), std::string::npos) << e.description();
  }
}

}  // namespace
}  // namespace tabrix
