// Relations: which "set_relation" entry applies to a field, the select-list
// item that brings the related row's caption along, and the whole select
// list of the current table, down to a real query on it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/adodb/recordset.h"
#include "host/scripting/dictionary.h"
#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "support/test_database.h"
#include "support/error_number.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {

constexpr const char* kCustomerRelation = "Orders.CustomerId,Customers,Id,Name,yes";

// Stores the entries as set_relation1, set_relation2, ...
void SetRelations(testing::ComponentHarness& h, const std::vector<std::string>& entries) {
  for (size_t i = 0; i < entries.size(); ++i)
    h.Set("set_relation" + std::to_string(i + 1), Variant(entries[i]));
}

// Makes `names` the field list of the current table.
void SetFieldNames(Tabrix1& object, const std::vector<std::string>& names) {
  auto dictionary = std::make_shared<scripting::Dictionary>();
  for (size_t i = 0; i < names.size(); ++i)
    dictionary->Add(Variant(static_cast<long>(i + 1)), Variant(names[i]));
  object.FieldNames = Variant(dictionary);
  object.FieldCount = Variant(static_cast<double>(names.size()));
}


TEST(GetRelation, FindsTheFirstEntryThatAppliesToTheField) {
  struct Case {
    const char* name;
    std::vector<std::string> entries;
    const char* table;
    const char* field;
    long expected;
  } cases[] = {
      {"no entries", {}, "Orders", "CustomerId", 0},
      {"exact entry", {kCustomerRelation}, "Orders", "CustomerId", 1},
      {"other field", {kCustomerRelation}, "Orders", "OrderDate", 0},
      {"other table", {kCustomerRelation}, "Invoices", "CustomerId", 0},
      {"names in any case", {"orders.customerid,Customers,Id,Name"}, "ORDERS", "CustomerID", 1},
      {"star applies to every table", {"*.CustomerId,Customers,Id,Name"}, "Invoices",
       "CustomerId", 1},
      {"never to the related table itself", {"*.CustomerId,Customers,Id,Name"}, "customers",
       "CustomerId", 0},
      {"a star must stand alone", {"*x.CustomerId,Customers,Id,Name"}, "Orders", "CustomerId", 0},
      {"text after a second dot does not count", {"Orders.CustomerId.old,Customers,Id,Name"},
       "Orders", "CustomerId", 1},
      {"later entry found", {"*.ShipperId,Shippers,Id,Name", kCustomerRelation}, "Orders",
       "CustomerId", 2},
      {"lower number wins", {"*.CustomerId,Clients,Id,Name", kCustomerRelation}, "Orders",
       "CustomerId", 1},
      {"a matching entry ends the scan before a malformed one", {kCustomerRelation, "broken"},
       "Orders", "CustomerId", 1},
      {"blank items are part of the names", {"Orders. CustomerId,Customers,Id,Name"}, "Orders",
       "CustomerId", 0},
  };
  for (const auto& c : cases) {
    testing::ComponentHarness h;
    SetRelations(h, c.entries);
    Variant n = h.object().GetRelation(Variant(c.table), Variant(c.field));
    EXPECT_TRUE(n.Identical(Variant(c.expected))) << c.name;
  }
}

TEST(GetRelation, StopsAtTheFirstNumberNeverStored) {
  testing::ComponentHarness h;
  h.Set("set_relation1", Variant("*.ShipperId,Shippers,Id,Name"));
  h.Set("set_relation3", Variant(kCustomerRelation));
  EXPECT_TRUE(h.object().GetRelation(Variant("Orders"), Variant("CustomerId")).Identical(Variant(0)));
}

TEST(GetRelation, RaisesForMalformedEntriesTheScanReaches) {
  struct Case {
    std::vector<std::string> entries;
    long number;
    const char* named;
  } cases[] = {
      {{""}, kErrSubscript, "set_relation1"},  // "" does not end the list, it is reached
      {{"OrdersCustomerId,Customers,Id,Name"}, kErrSubscript, "set_relation1"},
      {{"Orders.CustomerId"}, kErrSubscript, "set_relation1"},
      {{"*.ShipperId,Shippers,Id,Name", "Orders.CustomerId"}, kErrSubscript, "set_relation2"},
  };
  for (const auto& c : cases) {
    testing::ComponentHarness h;
    SetRelations(h, c.entries);
    std::string description;
    long number = ErrorNumberOf(
        [&] { h.object().GetRelation(Variant("Orders"), Variant("CustomerId")); }, &description);
    EXPECT_EQ(number, c.number) << c.entries.back();
    EXPECT_NE(description.find(c.named), std::string::npos) << description;
  }

  testing::ComponentHarness h;
  h.Set("set_relation1", Variant::Null());
  EXPECT_EQ(ErrorNumberOf([&] { h.object().GetRelation(Variant("Orders"), Variant("Id")); }),
            kErrInvalidNull);
}

TEST(CheckRelation, AddsASubqueryForTheRelatedCaption) {
  struct Case {
    const char* table;
    const char* field;
    const char* expected;
  } cases[] = {
      {"Orders", "CustomerId",
       "[CustomerId], (Select Name from [Customers] where Id=[Orders].CustomerId) as "
       "CustomerId_caption"},
      // The caller's spelling of the names is kept.
      {"orders", "customerid",
       "[customerid], (Select Name from [Customers] where Id=[orders].customerid) as "
       "customerid_caption"},
      {"Orders", "OrderDate", "[OrderDate]"},
  };
  for (const auto& c : cases) {
    testing::ComponentHarness h;
    SetRelations(h, {kCustomerRelation});
    EXPECT_EQ(ConcatText(h.object().CheckRelation(Variant(c.table), Variant(c.field))), c.expected);
  }
}

TEST(CheckRelation, RaisesWhenTheMatchingEntryLacksKeyOrCaption) {
  for (const char* entry : {"Orders.CustomerId,Customers", "Orders.CustomerId,Customers,Id"}) {
    testing::ComponentHarness h;
    SetRelations(h, {entry});
    std::string description;
    EXPECT_EQ(ErrorNumberOf(
                  [&] { h.object().CheckRelation(Variant("Orders"), Variant("CustomerId")); },
                  &description),
              kErrSubscript)
        << entry;
    EXPECT_NE(description.find("set_relation1"), std::string::npos) << description;
  }
}

TEST(SelectFieldList, JoinsTheItemsOfEveryFieldWithABareComma) {
  struct Case {
    const char* name;
    std::vector<std::string> relations;
    std::vector<std::string> fields;
    const char* expected;
  } cases[] = {
      {"relation", {kCustomerRelation}, {"Id", "CustomerId"},
       "[Id],[CustomerId], (Select Name from [Customers] where Id=[Orders].CustomerId) as "
       "CustomerId_caption"},
      {"no relations", {}, {"Id", "CustomerId", "OrderDate"}, "[Id],[CustomerId],[OrderDate]"},
      {"no fields", {kCustomerRelation}, {}, ""},
  };
  for (const auto& c : cases) {
    testing::ComponentHarness h;
    SetRelations(h, c.relations);
    SetFieldNames(h.object(), c.fields);
    EXPECT_EQ(ConcatText(h.object().SelectFieldList(Variant("Orders"))), c.expected) << c.name;
  }

  testing::ComponentHarness h;  // no field list loaded yet
  EXPECT_EQ(ConcatText(h.object().SelectFieldList(Variant("Orders"))), "");
}

TEST(SelectFieldList, OpensOnTheDatabaseWithEachRelatedCaption) {
  testing::TestDatabase db(R"sql(
    create table Customers (Id integer primary key, Name text);
    create table Shippers (Code text primary key, Title text);
    create table Orders (Id integer primary key, CustomerId integer, ShipperCode text,
                         OrderDate date);
    insert into Customers values (17, 'Smith'), (18, 'Jones');
    insert into Shippers values ('UPS', 'United Parcel');
    insert into Orders values (1, 18, 'UPS', '2008-06-05'), (2, 17, null, null);
  )sql");
  testing::ComponentHarness h;
  h.Set("set_dns", Variant(db.connection_string()));
  SetRelations(h, {kCustomerRelation, "*.ShipperCode,Shippers,Code,Title || '!',no"});
  Tabrix1& object = h.object();
  object.GetFieldList(Variant("Orders"));

  std::string sql = "select " + ConcatText(object.SelectFieldList(Variant("Orders"))) +
                    " from [Orders] order by Id";
  auto rs = adodb::NewRecordset();
  rs->Open(Variant(sql), Variant(db.connection_string()), Variant(3), Variant(1));
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(ConcatText(rs->Value(Variant("CustomerId_caption"))), "Jones");
  EXPECT_EQ(ConcatText(rs->Value(Variant("ShipperCode_caption"))), "United Parcel!");
  rs->MoveNext();
  EXPECT_EQ(ConcatText(rs->Value(Variant("CustomerId_caption"))), "Smith");
  EXPECT_TRUE(rs->Value(Variant("ShipperCode_caption")).IsNull());
  rs->Close();
}

}  // namespace
}  // namespace tabrix
