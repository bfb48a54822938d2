// Table and field permissions: deny-list precedence, whole-name matching,
// letters ignoring case, and the attribute bit that lets a form write a field.
#include <gtest/gtest.h>

#include "host/adodb/field.h"
#include "support/component_harness.h"

namespace tabrix {
namespace {

struct TableCase {
  const char* can_table;
  const char* cant_table;
  const char* table;
  const char* letter;
  bool expected;
};

TEST(TablePermissions, DenyListDecidesAloneOtherwiseTheAllowList) {
  const TableCase cases[] = {
      // A non-empty deny-list: the allow-list is not looked at.
      {"Orders[V]", "Orders[U]", "Orders", "U", false},
      {"", "Orders[U]", "Orders", "V", true},
      {"", "Orders[U]", "Customers", "A", true},
      {"", "Orders[U]", "orders", "u", false},
      // The allow-list.
      {"Customers[VA],Orders[V]", "", "Customers", "A", true},
      {"Customers[VA],Orders[V]", "", "customers", "a", true},
      {"Customers[VA],Orders[V]", "", "Orders", "U", false},
      {"Customers[VA],Orders[V]", "", "Invoices", "V", false},
      {"Customers[V], Orders[V]", "", "Orders", "V", false},  // the blank is part of the name
      {"MyOrders[V]", "", "Orders", "V", false},              // names match whole
      {"Orders[V],Orders[U]", "", "Orders", "U", false},      // only the first entry counts
      {"Orders[VAU]", "", "Orders", "AU", true},              // a run of letters
      {"", "", "Orders", "V", false},
  };
  for (const auto& c : cases) {
    testing::ComponentHarness h;
    h.Set("UserId", Variant(4));
    h.Set("set_user4_CanTable", Variant(c.can_table));
    h.Set("set_user4_CantTable", Variant(c.cant_table));
    Variant result = h.object().YetkiKontrol(Variant(c.table), Variant(c.letter));
    ASSERT_EQ(result.type(), VarType::Boolean);
    EXPECT_EQ(result.boolean(), c.expected)
        << "can=" << c.can_table << " cant=" << c.cant_table << " " << c.table << " "
        << c.letter;
  }
}

TEST(TablePermissions, NobodyLoggedInMayDoNothingWithTablesButAnythingWithFields) {
  testing::ComponentHarness h;
  EXPECT_FALSE(h.object().YetkiKontrol(Variant("Orders"), Variant("V")).boolean());
  EXPECT_TRUE(
      h.object().YetkiKontrolField(Variant("Orders"), Variant("Total"), Variant("V")).boolean());
  // Keys built without a user number still count when they are set.
  h.Set("set_user_CanTable", Variant("Orders[V]"));
  EXPECT_TRUE(h.object().YetkiKontrol(Variant("Orders"), Variant("V")).boolean());
}

TEST(FieldPermissions, OnlyTheDenyListWithholdsLetters) {
  testing::ComponentHarness h;
  h.Set("UserId", Variant("2"));
  h.Set("set_user2_CantField", Variant("Orders.Total[U],Customers.Notes[VU]"));
  h.Set("set_user2_CanTable", Variant(""));  // the table permission is not consulted
  auto allowed = [&](const char* table, const char* field, const char* letter) {
    return h.object().YetkiKontrolField(Variant(table), Variant(field), Variant(letter)).boolean();
  };
  EXPECT_FALSE(allowed("Orders", "Total", "U"));
  EXPECT_TRUE(allowed("Orders", "Total", "V"));
  EXPECT_TRUE(allowed("Orders", "Tax", "U"));
  EXPECT_FALSE(allowed("customers", "NOTES", "v"));
}

TEST(IntToBin, WritesBinaryDigits) {
  testing::ComponentHarness h;
  const std::pair<Variant, const char*> cases[] = {
      {0, "0"}, {5, "101"}, {8, "1000"}, {108, "1101100"}, {"12", "1100"}, {2.5, "10"}};
  for (const auto& [number, digits] : cases)
    EXPECT_EQ(h.object().IntToBin(number).string(), digits);
  EXPECT_THROW(h.object().IntToBin(Variant("x")), ScriptError);
}

Variant FieldWith(const char* name, long attributes) {
  return Variant(std::make_shared<adodb::StandaloneField>(name, adodb::kInteger, attributes));
}

TEST(FieldWriting, NeedsTheAttributeBitOfValueEight) {
  testing::ComponentHarness h;
  const std::pair<long, bool> cases[] = {{8, true}, {108, true}, {4, false}, {116, false},
                                         {0x4 | 0x8 | 0x20 | 0x40, true}, {0, false}};
  for (const auto& [attributes, expected] : cases)
    EXPECT_EQ(h.object().CanDbUpdate(FieldWith("Total", attributes)).boolean(), expected)
        << attributes;
}

TEST(FieldWriting, CanUpdateAndCanAddAreTrueOrEmpty) {
  testing::ComponentHarness h;
  h.object().CurrentTable = Variant("Orders");
  h.Set("UserId", Variant(1));
  h.Set("set_user1_CantField", Variant("Orders.Total[U]"));

  EXPECT_TRUE(h.object().CanUpdate(FieldWith("Name", 104)).boolean());
  EXPECT_TRUE(h.object().CanUpdate(FieldWith("Total", 104)).IsEmpty());  // withheld
  EXPECT_TRUE(h.object().CanAdd(FieldWith("Total", 104)).boolean());
  EXPECT_TRUE(h.object().CanUpdate(FieldWith("Id", 0x10)).IsEmpty());  // not writable
  EXPECT_TRUE(h.object().CanAdd(FieldWith("Id", 0x10)).IsEmpty());

  try {
    h.object().CanUpdate(Variant("Total"));
    FAIL() << "a text is no field";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrObjectRequired);
  }
}

}  // namespace
}  // namespace tabrix
