// Field display: a value by its field's type, value lists in place of
// stored codes, the related row's caption with a link, and escaping of what
// comes from the database.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/adodb/field.h"
#include "host/adodb/recordset.h"
#include "host/scripting/dictionary.h"
#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "support/test_database.h"
#include "support/error_number.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {

constexpr const char* kLink = "'><img src='images/link.gif' border='0' align='absmiddle'></a>";

// A harness whose current table is Orders with one field of type `type`.
struct Display {
  explicit Display(long type) {
    auto types = std::make_shared<scripting::Dictionary>();
    types->Add(Variant(1), Variant(type));
    h.object().FieldTypes = Variant(types);
    h.object().CurrentTable = Variant("Orders");
  }
  std::string Show(const char* field, const Variant& value) {
    return ConcatText(h.object().ShowField(Variant(field), value, Variant(1)));
  }
  testing::ComponentHarness h;
};

Variant Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return Variant(MakeDate({year, month, day, hour, minute, second}));
}


TEST(ShowField, WritesTheValueByTheFieldType) {
  struct Case {
    const char* name;
    long type;
    Variant value;
    const char* currency;  // nullptr: "set_currency" never stored
    const char* expected;
  } cases[] = {
      {"text", adodb::kVarWChar, "Smith", nullptr, "Smith"},
      {"memo lines", adodb::kLongVarWChar, "one\r\ntwo", nullptr, "one<br>\ntwo"},
      {"empty text", adodb::kVarChar, "", nullptr, ""},
      {"number in a text field", adodb::kWChar, 12, nullptr, "12"},
      {"date", adodb::kDate, Date(2004, 3, 5), nullptr, "05 March 2004"},
      {"date and time", adodb::kDBTimeStamp, Date(2004, 3, 5, 9, 7, 30), nullptr,
       "05 March 2004, 09:07"},
      {"date as text", adodb::kDate, "2004-03-05", nullptr, "05 March 2004"},
      {"money", adodb::kCurrency, 1234.5, "EUR", "<p align='right'>1,234.50 EUR</p>"},
      {"negative money", adodb::kCurrency, -5, "EUR",
       "<p align='right'><font color='red'>-5.00 EUR</font></p>"},
      {"money without currency", adodb::kCurrency, 5, nullptr, "<p align='right'>5.00 </p>"},
      {"integer", adodb::kInteger, 42, nullptr, "<p align='right'>42</p>"},
      {"negative integer", adodb::kInteger, -7, nullptr,
       "<p align='right'><font color='red'>-7</font></p>"},
      {"zero", adodb::kSmallInt, 0, nullptr, "<p align='right'>0</p>"},
      {"double", adodb::kDouble, 2.5, nullptr, "<p align='right'>2.5</p>"},
      {"true", adodb::kBoolean, true, nullptr, "<p align='right'><font color='red'>True</font></p>"},
      {"false", adodb::kBoolean, false, nullptr, "<p align='right'>False</p>"},
      {"binary", adodb::kBinary, Variant::Binary({0x0A, 0xFF}), nullptr,
       "<p align='right'>0AFF</p>"},
      {"picture", adodb::kLongVarBinary, Variant::Binary({1, 2, 3}), nullptr, "-"},
      {"other type", adodb::kTinyInt, 7, nullptr, "7"},
      {"Null", adodb::kVarWChar, Variant::Null(), nullptr, ""},
      {"Empty", adodb::kInteger, Variant(), nullptr, ""},
  };
  for (const auto& c : cases) {
    Display d(c.type);
    if (c.currency != nullptr) d.h.Set("set_currency", Variant(c.currency));
    EXPECT_EQ(d.Show("Amount", c.value), c.expected) << c.name;
  }
}

TEST(ShowField, EscapesWhatComesFromTheDatabase) {
  struct Case {
    long type;
    Variant value;
    const char* expected;
  } cases[] = {
      {adodb::kVarWChar, "<script>alert('x')</script>",
       "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
      {adodb::kLongVarWChar, "a & b\r\n<i>", "a &amp; b<br>\n&lt;i&gt;"},
      {adodb::kGUID, "<guid>", "<p align='right'>&lt;guid&gt;</p>"},
      {adodb::kDBDate, "<b>", "&lt;b&gt;"},
  };
  for (const auto& c : cases) {
    Display d(c.type);
    EXPECT_EQ(d.Show("Note", c.value), c.expected) << c.value.string();
  }
}

TEST(ShowField, AValueItsTypeCannotTakeShowsAsItsStoredText) {
  struct Case {
    const char* name;
    long type;
    Variant value;
    const char* expected;
  } cases[] = {
      {"empty text as a time stamp", adodb::kDBTimeStamp, "", ""},
      {"digits as a time stamp", adodb::kDBTimeStamp, "20040305", "20040305"},
      {"whole number as a time stamp", adodb::kDBTimeStamp, 20040305, "20040305"},
      {"small number as a date", adodb::kDate, 3.5, "3.5"},
      {"words as a date", adodb::kDate, "soon <b>", "soon &lt;b&gt;"},
      {"bytes as a date", adodb::kDate, Variant::Binary({0x0A, 0xFF}), "0AFF"},
      {"words as money", adodb::kCurrency, "abc", "abc"},
      {"markup as money", adodb::kCurrency, "<i>5</i>", "&lt;i&gt;5&lt;/i&gt;"},
      {"empty text as money", adodb::kCurrency, "", ""},
      {"bytes as a number", adodb::kInteger, Variant::Binary({0x41}), "<p align='right'>A</p>"},
      // ISO text with "T", a fraction and an offset is a date; the clock
      // time stays as stored.
      {"ISO with an offset as a time stamp", adodb::kDBTimeStamp,
       "2004-03-05T09:07:30.000+02:00", "05 March 2004, 09:07"},
      {"ISO with a negative offset as a date", adodb::kDate, "2004-03-05T23:30:00-0530",
       "05 March 2004"},
      {"ISO in UTC as a time stamp", adodb::kDBTimeStamp, "2004-03-05T09:07:30Z",
       "05 March 2004, 09:07"},
      {"regional text as a date", adodb::kDate, "3/5/2004", "05 March 2004"},
      {"numeric text as money", adodb::kCurrency, "1,234.5", "<p align='right'>1,234.50 </p>"},
  };
  for (const auto& c : cases) {
    Display d(c.type);
    EXPECT_EQ(d.Show("Amount", c.value), c.expected) << c.name;
  }
}

TEST(ShowField, OtherTypesShowTheConfiguredReplacementAsWritten) {
  struct Case {
    long type;
    Variant value;
    const char* expected;
  } cases[] = {
      {adodb::kDBDate, "x", "<i>Ex</i>"},
      {adodb::kTinyInt, 7, "Seven"},
      {adodb::kVarWChar, "x", "x"},  // a text field never is replaced
      {adodb::kInteger, 7, "<p align='right'>7</p>"},
  };
  for (const auto& c : cases) {
    Display d(c.type);
    d.h.Set("set_replace", Variant("x=<i>Ex</i>,7=Seven"));
    EXPECT_EQ(d.Show("Code", c.value), c.expected) << c.type;
  }
}

TEST(ShowField, ShowsTheTextOfAValueList) {
  struct Case {
    const char* name;
    std::vector<std::string> lists;
    const char* field;
    Variant value;
    const char* expected;
  } cases[] = {
      {"pair matched", {"Orders.Status,0,Open,1,Shipped,2,Closed"}, "Status", 1, "Shipped"},
      {"names in any case", {"orders.STATUS,1,Shipped"}, "status", 1, "Shipped"},
      {"star applies to every table", {"*.Status,1,Shipped"}, "Status", 1, "Shipped"},
      {"other table", {"Invoices.Status,1,Shipped"}, "Status", 1, "<p align='right'>1</p>"},
      {"other field", {"Orders.State,1,Shipped"}, "Status", 1, "<p align='right'>1</p>"},
      {"no pair for the value", {"Orders.Status,0,Open"}, "Status", 1, "<p align='right'>1</p>"},
      {"field alone", {"Orders.Status"}, "Status", 1, "<p align='right'>1</p>"},
      {"value without its text", {"Orders.Status,0,Open,1"}, "Status", 1,
       "<p align='right'>1</p>"},
      {"spaces around the stored value", {"Orders.Status, 1 , Shipped "}, "Status", 1,
       " Shipped "},
      {"exact case of values", {"Orders.Status,a,Lower,A,Upper"}, "Status", "A", "Upper"},
      {"a later pair wins", {"Orders.Status,1,First,1,Second"}, "Status", 1, "Second"},
      {"lower entry wins", {"*.Status,1,First", "Orders.Status,1,Second"}, "Status", 1, "First"},
      {"later entry found", {"Orders.State,1,No", "Orders.Status,1,Yes"}, "Status", 1, "Yes"},
      {"texts escaped as text", {"Orders.Status,1,<b>Shipped</b>"}, "Status", 1,
       "&lt;b&gt;Shipped&lt;/b&gt;"},
      {"Null shows nothing", {"Orders.Status,,None"}, "Status", Variant::Null(), ""},
  };
  for (const auto& c : cases) {
    Display d(adodb::kInteger);
    for (size_t i = 0; i < c.lists.size(); ++i)
      d.h.Set("set_select" + std::to_string(i + 1), Variant(c.lists[i]));
    EXPECT_EQ(d.Show(c.field, c.value), c.expected) << c.name;
  }
}

TEST(ShowField, ValueListsStopAtTheFirstNumberNeverStored) {
  Display d(adodb::kInteger);
  d.h.Set("set_select1", Variant("Orders.State,1,No"));
  d.h.Set("set_select3", Variant("Orders.Status,1,Yes"));
  EXPECT_EQ(d.Show("Status", Variant(1)), "<p align='right'>1</p>");
}

// Customers related to Orders, with the page recordset on order 1.
struct RelatedDisplay {
  RelatedDisplay()
      : db(R"sql(
          create table Customers (Id integer primary key, Name text);
          create table Tags (Code text primary key, Title text);
          create table Orders (Id integer primary key, CustomerId integer, Tag text,
                               Status integer);
          insert into Customers values (17, 'Smith & <Sons>');
          insert into Tags values ('a b&c', 'Mixed');
          insert into Orders values (1, 17, 'a b&c', 1), (2, 99, null, null);
        )sql") {
    h.Set("set_dns", Variant(db.connection_string()));
    h.Set("set_relation1", Variant("Orders.CustomerId,Customers,Id,Name,yes"));
    h.Set("set_relation2", Variant("*.Tag,Tags,Code,Title,no"));
    h.Set("code_Customers", Variant("C1"));
    h.Set("code_Tags", Variant("T9"));
    h.Set("UserId", Variant(1));
    h.Set("set_user1_CanTable", Variant("Orders[V],Customers[V],Tags[V]"));
    Tabrix1& object = h.object();
    object.CurrentTable = Variant("Orders");
    object.GetFieldList(Variant("Orders"));
    auto rs = object.NewRecordset();
    object.OpenRecordset(*rs, "select " + ConcatText(object.SelectFieldList(Variant("Orders"))) +
                                  " from [Orders] order by Id");
    object.Rs = Variant(rs);
  }
  std::string Show(const char* field, long number) {
    Tabrix1& object = h.object();
    Variant value = ObjectAs<adodb::Recordset>(object.Rs).Value(Variant(field));
    return ConcatText(object.ShowField(Variant(field), value, Variant(number)));
  }
  testing::TestDatabase db;
  testing::ComponentHarness h;
};

TEST(ShowField, ShowsTheRelatedCaptionWithALinkToItsRecord) {
  RelatedDisplay d;
  EXPECT_EQ(d.Show("CustomerId", 2),
            std::string("Smith &amp; &lt;Sons&gt; <A href='Info.asp?t=C1&id=17") + kLink);
  EXPECT_EQ(d.Show("Tag", 3), std::string("Mixed <A href='Info.asp?t=T9&id=a+b%26c") + kLink);
  EXPECT_EQ(d.Show("Id", 1), "<p align='right'>1</p>");

  // A related key with no related row: the missing caption writes nothing.
  ObjectAs<adodb::Recordset>(d.h.object().Rs).MoveNext();
  EXPECT_EQ(d.Show("CustomerId", 2), std::string(" <A href='Info.asp?t=C1&id=99") + kLink);
  EXPECT_EQ(d.Show("Tag", 3), "");  // Null: no link either
}

TEST(ShowField, ACaptionTheUserMayNotViewIsNeverSent) {
  // The caption field withheld: the key, still linked to a record the user
  // may view.
  RelatedDisplay d;
  d.h.Set("set_user1_CantField", Variant("Customers.Name[V]"));
  EXPECT_EQ(d.Show("CustomerId", 2),
            std::string("<p align='right'>17</p> <A href='Info.asp?t=C1&id=17") + kLink);
  // The related table withheld: the key alone, without a link.
  d.h.Set("set_user1_CantField", Variant(""));
  d.h.Set("set_user1_CanTable", Variant("Orders[V],Customers[A],Tags[V]"));
  EXPECT_EQ(d.Show("CustomerId", 2), "<p align='right'>17</p>");
  EXPECT_EQ(d.Show("Tag", 3), std::string("Mixed <A href='Info.asp?t=T9&id=a+b%26c") + kLink);
}

TEST(ShowField, AValueListForTheFieldHidesItsRelation) {
  RelatedDisplay d;
  d.h.Set("set_select1", Variant("Orders.CustomerId,17,Our best customer"));
  EXPECT_EQ(d.Show("CustomerId", 2), "Our best customer");
  d.h.Set("set_select1", Variant("*.CustomerId,1,Someone else"));
  EXPECT_EQ(d.Show("CustomerId", 2), "<p align='right'>17</p>");
}

TEST(ShowField, FailuresEndTheCall) {
  struct Case {
    const char* name;
    long type;
    Variant value;
    const char* key;
    const char* setting;
    long expected;
  } cases[] = {
      {"value list holding the empty text", adodb::kInteger, 1, "set_select1", "",
       kErrSubscript},
      {"malformed relation", adodb::kInteger, 1, "set_relation1", "Orders.Status",
       kErrSubscript},
      {"related field without its caption column", adodb::kInteger, 1, "set_relation1",
       "Orders.Status,States,Id,Name", kErrItemNotFound},
  };
  testing::TestDatabase db(
      "create table Orders (Id integer primary key, Status integer);"
      "insert into Orders values (1, 1);");
  for (const auto& c : cases) {
    Display d(c.type);
    d.h.Set("set_dns", Variant(db.connection_string()));
    if (c.key != nullptr) d.h.Set(c.key, Variant(c.setting));
    d.h.Set("UserId", Variant(1));
    d.h.Set("set_user1_CanTable", Variant("Orders[V],States[V]"));
    auto rs = d.h.object().NewRecordset();
    d.h.object().OpenRecordset(*rs, "select * from [Orders]");
    d.h.object().Rs = Variant(rs);
    EXPECT_EQ(ErrorNumberOf([&] { d.Show("Status", c.value); }), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace tabrix
