// One object reads the same settings for every cell it shows and keeps
// what it parsed from them. What it keeps must never stand in for the
// settings themselves: a setting changed between two calls on the same
// object is seen at the second, a malformed entry raises at every read that
// reaches it, and entries for names that differ only in case stay apart.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/scripting/dictionary.h"
#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "support/error_number.h"
#include "support/test_database.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {

TEST(SettingsReadAgain, RelationEntriesChangedBetweenCallsAreSeen) {
  testing::ComponentHarness h;
  Tabrix1& object = h.object();
  auto relation_of = [&](const char* field) {
    return ToLong(object.GetRelation(Variant("Orders"), Variant(field)));
  };
  h.Set("set_relation1", Variant("Orders.CustomerId,Customers,Id,Name"));
  EXPECT_EQ(relation_of("CustomerId"), 1);
  EXPECT_EQ(ConcatText(object.CheckRelation(Variant("Orders"), Variant("CustomerId"))),
            "[CustomerId], (Select Name from [Customers] where Id=[Orders].CustomerId) as "
            "CustomerId_caption");

  h.Set("set_relation1", Variant("Orders.CustomerId,Clients,Code,Title"));
  EXPECT_EQ(ConcatText(object.CheckRelation(Variant("Orders"), Variant("CustomerId"))),
            "[CustomerId], (Select Title from [Clients] where Code=[Orders].CustomerId) as "
            "CustomerId_caption");

  h.Set("set_relation1", Variant("Orders.ShipperId,Shippers,Id,Name"));
  EXPECT_EQ(relation_of("CustomerId"), 0);
  EXPECT_EQ(relation_of("ShipperId"), 1);

  // Malformed, it raises at every call that reaches it, not only the first.
  h.Set("set_relation1", Variant("OrdersShipperId,Shippers,Id,Name"));
  for (int call = 0; call < 2; ++call) {
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { relation_of("ShipperId"); }, &description), kErrSubscript);
    EXPECT_NE(description.find("set_relation1"), std::string::npos) << description;
  }
  h.Set("set_relation1", Variant::Null());
  EXPECT_EQ(ErrorNumberOf([&] { relation_of("ShipperId"); }), kErrInvalidNull);

  h.Set("set_relation1", Variant("Orders.ShipperId,Shippers,Id,Name"));
  EXPECT_EQ(relation_of("ShipperId"), 1);
  h.session().Remove("set_relation1");
  EXPECT_EQ(relation_of("ShipperId"), 0);
}

TEST(SettingsReadAgain, ValueListsAndCaptionsChangedBetweenCallsAreSeen) {
  testing::ComponentHarness h;
  Tabrix1& object = h.object();
  auto types = std::make_shared<scripting::Dictionary>();
  types->Add(Variant(1), Variant(adodb::kInteger));
  types->Add(Variant(2), Variant(adodb::kTinyInt));  // shown through "set_replace"
  object.FieldTypes = Variant(types);
  object.CurrentTable = Variant("Orders");
  auto show = [&](const char* field, const Variant& value, long number) {
    return ConcatText(object.ShowField(Variant(field), value, Variant(number)));
  };

  h.Set("set_select1", Variant("Orders.Status,1,Open,2,Closed"));
  EXPECT_EQ(show("Status", Variant(1), 1), "Open");
  h.Set("set_select1", Variant("Orders.Status,1,Pending"));
  EXPECT_EQ(show("Status", Variant(1), 1), "Pending");
  h.Set("set_select1", Variant("Orders.Kind,1,Pending"));
  EXPECT_EQ(show("Status", Variant(1), 1), "<p align='right'>1</p>");

  h.Set("set_replace", Variant("id=No.,7=Seven"));
  EXPECT_EQ(ConcatText(object.FieldCaption(Variant("id"))), "No.");
  EXPECT_EQ(show("Kind", Variant(7), 2), "Seven");
  h.Set("set_replace", Variant("id=Number,7=Sieben"));
  EXPECT_EQ(ConcatText(object.FieldCaption(Variant("id"))), "Number");
  EXPECT_EQ(show("Kind", Variant(7), 2), "Sieben");
  h.session().Remove("set_replace");
  EXPECT_EQ(ConcatText(object.FieldCaption(Variant("id"))), "Id");
}

TEST(SettingsReadAgain, PermissionListsChangedBetweenCallsAreSeen) {
  testing::ComponentHarness h;
  Tabrix1& object = h.object();
  h.Set("UserId", Variant(1));
  auto may_view_field = [&](const std::string& field) {
    return ToBool(object.YetkiKontrolField(Variant("Orders"), Variant(field), Variant("V")));
  };
  auto may_view_table = [&](const char* table) {
    return ToBool(object.YetkiKontrol(Variant(table), Variant("V")));
  };

  h.Set("set_user1_CanTable", Variant("Orders[V]"));
  EXPECT_TRUE(may_view_table("Orders"));
  EXPECT_FALSE(may_view_table("Customers"));
  h.Set("set_user1_CanTable", Variant("Customers[V],Orders[A]"));
  EXPECT_FALSE(may_view_table("Orders"));
  EXPECT_TRUE(may_view_table("Customers"));

  // More lists than the object keeps folded at once: each is read as it
  // stands at its call.
  for (int i = 0; i < 20; ++i) {
    std::string field = "F" + std::to_string(i);
    h.Set("set_user1_CantField", Variant("Orders." + field + "[V]"));
    EXPECT_FALSE(may_view_field(field)) << field;
    EXPECT_TRUE(may_view_field("F" + std::to_string(i + 1))) << field;
  }
  h.Set("UserId", Variant(2));
  EXPECT_TRUE(may_view_field("F19"));
}

// While a page writes its rows the settings are held still; once the
// stretch ends, the next one reads them again.
TEST(SettingsReadAgain, HeldSettingsAreReadAgainInTheNextStretch) {
  testing::ComponentHarness h;
  Tabrix1& object = h.object();
  h.Set("UserId", Variant(1));
  auto relation_of = [&](const char* field) {
    return ToLong(object.GetRelation(Variant("Orders"), Variant(field)));
  };
  auto may_view = [&] {
    return ToBool(object.YetkiKontrol(Variant("Orders"), Variant("V"))) &&
           ToBool(object.YetkiKontrolField(Variant("Orders"), Variant("Note"), Variant("V")));
  };

  h.Set("set_relation1", Variant("Orders.CustomerId,Customers,Id,Name"));
  h.Set("set_user1_CanTable", Variant("Orders[V]"));
  {
    SettingsHeldStill held(object.Memos);
    for (int call = 0; call < 2; ++call) {
      EXPECT_EQ(relation_of("CustomerId"), 1);
      EXPECT_EQ(relation_of("Note"), 0);
      EXPECT_TRUE(may_view());
    }
  }
  h.Set("set_relation1", Variant("Orders.Note,Notes,Id,Text"));
  h.Set("set_user1_CantField", Variant("Orders.Note[V]"));
  {
    SettingsHeldStill held(object.Memos);
    EXPECT_EQ(relation_of("CustomerId"), 0);
    EXPECT_EQ(relation_of("Note"), 1);
    EXPECT_FALSE(may_view());
  }
  EXPECT_TRUE(ToBool(object.YetkiKontrol(Variant("Orders"), Variant("V"))));
  h.Set("set_user1_CanTable", Variant("Orders[A]"));
  EXPECT_FALSE(ToBool(object.YetkiKontrol(Variant("Orders"), Variant("V"))));

  // A malformed entry raises at every call that reaches it, held or not.
  h.Set("set_relation2", Variant("broken"));
  SettingsHeldStill held(object.Memos);
  for (int call = 0; call < 2; ++call) {
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { relation_of("CustomerId"); }, &description), kErrSubscript);
    EXPECT_NE(description.find("set_relation2"), std::string::npos) << description;
  }
  EXPECT_EQ(relation_of("Note"), 1);
}

// Relation entries for two columns whose names differ only in case: each
// field takes its own entry, however often the two alternate.
TEST(SettingsReadAgain, EntriesForNamesThatDifferOnlyInCaseStayApart) {
  testing::TestDatabase db(R"sql(create table "Oils" ("Öl" integer, "öl" text);)sql");
  testing::ComponentHarness h;
  h.Set("set_dns", Variant(db.connection_string()));
  h.Set("set_relation1", Variant("Oils.Öl,Makers,Id,Name"));
  h.Set("set_relation2", Variant("Oils.öl,Brands,Id,Name"));
  Tabrix1& object = h.object();
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(ToLong(object.GetRelation(Variant("Oils"), Variant("Öl"))), 1);
    EXPECT_EQ(ToLong(object.GetRelation(Variant("Oils"), Variant("öl"))), 2);
    EXPECT_EQ(ToLong(object.GetRelation(Variant("Oils"), Variant("ÖL"))), 0);
  }
}

}  // namespace
}  // namespace tabrix
