// The field list cache: a table's fields read from a real database, their
// captions, the "FL_" session keys, the members loaded from them, and the
// type look-up by name.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/adodb/field.h"
#include "host/scripting/dictionary.h"
#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "support/test_database.h"
#include "support/error_number.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {

constexpr const char* kSchema = R"sql(
  create table Orders (
    Id integer primary key, CustomerID integer, ORDER_DATE date, shipped_at datetime,
    price money, is_active_yn boolean, Ship_YN_flag integer, note text, photo blob,
    şehir text);
  create table Empty (A integer, B text);
  create table Oils ("Öl" integer, "öl" text);
)sql";


scripting::Dictionary& Map(const Variant& v) { return ObjectAs<scripting::Dictionary>(v); }

class FieldListTest : public ::testing::Test {
 protected:
  FieldListTest() : db_(kSchema) { h_.Set("set_dns", Variant(db_.connection_string())); }

  std::vector<std::string> Column(const Variant& map) {
    std::vector<std::string> out;
    for (const Variant& item : Map(map).Items()) out.push_back(ConcatText(item));
    return out;
  }

  testing::TestDatabase db_;
  testing::ComponentHarness h_;
};

TEST_F(FieldListTest, LoadsNamesTypesAndCaptionsInColumnOrder) {
  h_.Set("set_replace", Variant("price=Total Price"));
  Tabrix1& object = h_.object();
  object.GetFieldList(Variant("Orders"));

  EXPECT_TRUE(object.FieldCount.Identical(Variant(10.0)));
  EXPECT_EQ(Column(object.FieldNames),
            (std::vector<std::string>{"Id", "CustomerID", "ORDER_DATE", "shipped_at", "price",
                                      "is_active_yn", "Ship_YN_flag", "note", "photo", "şehir"}));
  EXPECT_EQ(Column(object.FieldCaptions),
            (std::vector<std::string>{"Id", "Customerid", "Order date", "Shipped at",
                                      "Total price", "Is active", "Ship flag", "Note", "Photo",
                                      "Şehir"}));
  std::vector<Variant> types = Map(object.FieldTypes).Items();
  std::vector<long> expected_types{adodb::kInteger, adodb::kInteger,     adodb::kDate,
                                   adodb::kDBTimeStamp, adodb::kCurrency, adodb::kBoolean,
                                   adodb::kInteger, adodb::kVarWChar,   adodb::kLongVarBinary,
                                   adodb::kVarWChar};
  ASSERT_EQ(types.size(), expected_types.size());
  for (size_t i = 0; i < types.size(); ++i)
    EXPECT_TRUE(types[i].Identical(Variant(expected_types[i]))) << i;
  // Keys are the field numbers 1..n.
  EXPECT_TRUE(Map(object.FieldNames).Keys().front().Identical(Variant(1)));
  EXPECT_TRUE(Map(object.FieldNames).Keys().back().Identical(Variant(10)));
  EXPECT_EQ(h_.sql().front(), "select top 1 * from [Orders]");
}

TEST_F(FieldListTest, StoresTheCacheInTheSessionByReference) {
  Tabrix1& object = h_.object();
  object.GetFieldList(Variant("Orders"));
  Session& s = h_.session();
  EXPECT_TRUE(s.Value("FL_Orders").Identical(Variant("ok")));
  EXPECT_TRUE(s.Value("FL_Orders_count").Identical(Variant(10)));
  EXPECT_EQ(s.Value("FL_Orders_names").object(), object.FieldNames.object());
  EXPECT_EQ(s.Value("FL_Orders_types").object(), object.FieldTypes.object());
  EXPECT_EQ(s.Value("FL_Orders_captions").object(), object.FieldCaptions.object());

  // A field added through a member shows in the cached map too.
  Map(object.FieldNames).Add(Variant(11), Variant("Extra"));
  EXPECT_EQ(Map(s.Value("FL_Orders_names")).Count(), 11);
}

TEST_F(FieldListTest, RebuildsOnEveryCall) {
  Tabrix1& object = h_.object();
  object.GetFieldList(Variant("Orders"));
  Variant first_names = object.FieldNames;
  h_.Set("set_replace", Variant("note=Remarks"));
  object.GetFieldList(Variant("Orders"));
  EXPECT_NE(object.FieldNames.object(), first_names.object());
  EXPECT_EQ(ConcatText(Map(object.FieldCaptions).Get(Variant(8))), "Remarks");
}

TEST_F(FieldListTest, AnEmptyTableYieldsItsFields) {
  Tabrix1& object = h_.object();
  object.GetFieldList(Variant("Empty"));
  EXPECT_TRUE(object.FieldCount.Identical(Variant(2.0)));
  EXPECT_EQ(Column(object.FieldNames), (std::vector<std::string>{"A", "B"}));
}

TEST_F(FieldListTest, TabloFieldsDoldurFillsTheCacheWithoutLoadingIt) {
  Tabrix1& object = h_.object();
  EXPECT_TRUE(object.TabloFieldsDoldur(Variant("Empty")).IsEmpty());
  EXPECT_TRUE(h_.session().Value("FL_Empty").Identical(Variant("ok")));
  EXPECT_TRUE(object.FieldCount.IsEmpty());
  EXPECT_TRUE(object.FieldNames.IsEmpty());
}

TEST_F(FieldListTest, FailuresWriteNoCacheAndKeepTheLoadedTable) {
  struct Case {
    const char* name;
    const char* table;
    const char* replace;
    long expected;
  } cases[] = {
      {"unknown table", "Missing", "", kErrProvider},
      {"name that breaks the SQL", "Orders] where", "", kErrProvider},
      {"caption configured empty", "Orders", "note=", kErrInvalidArgument},
  };
  for (const auto& c : cases) {
    testing::ComponentHarness h;
    h.Set("set_dns", Variant(db_.connection_string()));
    Tabrix1& object = h.object();
    object.GetFieldList(Variant("Empty"));
    Variant loaded = object.FieldNames;
    h.Set("set_replace", Variant(c.replace));
    EXPECT_EQ(ErrorNumberOf([&] { object.GetFieldList(Variant(c.table)); }), c.expected) << c.name;
    EXPECT_FALSE(h.session().Contains(std::string("FL_") + c.table)) << c.name;
    EXPECT_FALSE(h.session().Contains(std::string("FL_") + c.table + "_names")) << c.name;
    EXPECT_EQ(object.FieldNames.object(), loaded.object()) << c.name;
    EXPECT_TRUE(object.FieldCount.Identical(Variant(2.0))) << c.name;
  }

  testing::ComponentHarness without_dns;
  EXPECT_EQ(ErrorNumberOf([&] { without_dns.object().GetFieldList(Variant("Orders")); }),
            kErrNoConnection);
}

TEST_F(FieldListTest, GetFieldTypeFindsFieldsIgnoringCase) {
  Tabrix1& object = h_.object();
  EXPECT_TRUE(object.GetFieldType(Variant("Id")).Identical(Variant(0)));  // nothing loaded yet
  object.GetFieldList(Variant("Orders"));
  struct Case {
    Variant name;
    long expected;
  } cases[] = {
      {"CustomerID", adodb::kInteger}, {"customerid", adodb::kInteger},
      {"CUSTOMERID", adodb::kInteger}, {"order_date", adodb::kDate},
      {"ŞEHİR", 0},  // İ folds to itself, not to i
      {"ŞEHIR", adodb::kVarWChar},    {"Customer", 0},
      {"", 0},                        {Variant::Null(), 0},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(object.GetFieldType(c.name).Identical(Variant(c.expected)))
        << ConcatText(c.name);
  }
}

// Names that differ only in case (SQLite tells them apart beyond ASCII).
TEST_F(FieldListTest, GetFieldTypeTakesTheExactSpellingOfNamesThatDifferInCase) {
  Tabrix1& object = h_.object();
  object.GetFieldList(Variant("Oils"));
  EXPECT_TRUE(object.GetFieldType(Variant("Öl")).Identical(Variant(adodb::kInteger)));
  EXPECT_TRUE(object.GetFieldType(Variant("öl")).Identical(Variant(adodb::kVarWChar)));
  // A third spelling stands for neither.
  EXPECT_TRUE(object.GetFieldType(Variant("ÖL")).Identical(Variant(0)));
}

}  // namespace
}  // namespace tabrix
