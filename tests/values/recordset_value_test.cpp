// Values that meet the database: RsValue reads a field of the page
// recordset, and CheckStr's text survives a round trip as an SQL literal.
#include <gtest/gtest.h>

#include <string>

#include "host/adodb/recordset.h"
#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "support/test_database.h"
#include "values/regional_test_support.h"

namespace tabrix {
namespace {

using testing::ErrorNumberOf;

constexpr const char* kPeople = R"sql(
  CREATE TABLE people (
    id INTEGER PRIMARY KEY,
    name VARCHAR(40),
    born DATE,
    photo BLOB,
    note TEXT,
    score REAL
  );
  INSERT INTO people VALUES (1, 'Ada', '1815-12-10', X'89504E470D0A', NULL, 9.5);
  INSERT INTO people VALUES (2, 'Blaise', NULL, NULL, 'second', NULL);
)sql";

// A harness whose page recordset `Rs` is open on the people table.
class PageRecordset : public ::testing::Test {
 protected:
  PageRecordset() : db_(kPeople) {
    h_.Set("set_dns", Variant(db_.connection_string()));
    auto rs = h_.object().NewRecordset();
    h_.object().OpenRecordset(*rs, "select * from [people] order by id");
    h_.object().Rs = Variant(rs);
  }

  testing::TestDatabase db_;
  testing::ComponentHarness h_;
};

TEST_F(PageRecordset, RsValueGivesTheCurrentRecordsValues) {
  Tabrix1& o = h_.object();
  EXPECT_TRUE(o.RsValue(Variant("name")).Identical(Variant("Ada")));
  EXPECT_TRUE(o.RsValue(Variant("NAME")).Identical(Variant("Ada")));  // names ignore case
  EXPECT_TRUE(o.RsValue(Variant("id")).Identical(Variant(1)));
  EXPECT_TRUE(o.RsValue(Variant("score")).Identical(Variant(9.5)));
  EXPECT_TRUE(o.RsValue(Variant("born")).Identical(Variant(MakeDate({1815, 12, 10}))));
  EXPECT_TRUE(o.RsValue(Variant("note")).IsNull());  // Null stays Null
  // Long binary contents never come out, even when the field holds data.
  EXPECT_TRUE(o.RsValue(Variant("photo")).Identical(Variant("")));

  // RsValue reads where the page put the recordset; it never moves it.
  ObjectAs<adodb::Recordset>(o.Rs).MoveNext();
  EXPECT_TRUE(o.RsValue(Variant("name")).Identical(Variant("Blaise")));
  EXPECT_TRUE(o.RsValue(Variant("photo")).Identical(Variant("")));
  EXPECT_TRUE(o.RsValue(Variant("born")).IsNull());
  EXPECT_TRUE(o.RsValue(Variant("name")).Identical(Variant("Blaise")));
}

TEST_F(PageRecordset, RsValueFailsWhereThereIsNoSuchFieldOrNoRecord) {
  Tabrix1& o = h_.object();
  EXPECT_EQ(ErrorNumberOf([&] { o.RsValue(Variant("nickname")); }), kErrItemNotFound);
  ObjectAs<adodb::Recordset>(o.Rs).MoveLast();
  ObjectAs<adodb::Recordset>(o.Rs).MoveNext();
  EXPECT_EQ(ErrorNumberOf([&] { o.RsValue(Variant("name")); }), kErrNoCurrentRecord);

  Tabrix1 without_recordset;
  EXPECT_EQ(ErrorNumberOf([&] { without_recordset.RsValue(Variant("name")); }), kErrObjectRequired);
}

TEST(CheckStr, MakesTextThatReadsBackUnchangedFromAQuotedLiteral) {
  testing::TestDatabase db;
  testing::ComponentHarness h;
  h.Set("set_dns", Variant(db.connection_string()));
  const char* texts[] = {
      "O'Brien|x", "''", "'", "|", "||", "a'|'b", "it's 50|50 -- ok", "2004-03-05 x'", "Şişli'de",
  };
  for (const char* text : texts) {
    auto rs = h.object().NewRecordset();
    std::string literal = ConcatText(h.object().CheckStr(Variant(text)));
    h.object().OpenRecordset(*rs, "select '" + literal + "' as v");
    EXPECT_TRUE(rs->Value(Variant("v")).Identical(Variant(text))) << text;
    rs->Close();
  }
}

}  // namespace
}  // namespace tabrix
