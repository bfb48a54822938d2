// Input controls on the search panel (1), the update form (2) and the add
// form (3): relation drop-downs before value lists before the field's type,
// the value each shows, escaping of values from the request and the
// database, and the date lists with their names.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/adodb/recordset.h"
#include "host/clock.h"
#include "host/scripting/dictionary.h"
#include "host/variant_ops.h"
#include "render/select_lists.h"
#include "support/component_harness.h"
#include "support/test_database.h"
#include "support/error_number.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {

using testing::DateLists;
using testing::ReadDateLists;

constexpr const char* kShop = R"sql(
  create table Customers (Id integer primary key, Name varchar(50));
  create table Tags (Code varchar(5), Label varchar(20));
  create table Orders (Id integer primary key, CustomerId integer, Status integer,
                       Title varchar(50), Notes memo, Qty integer, OrderDate date,
                       ShippedAt datetime, Picture blob);
  insert into Customers values (2, 'Zeta & Co'), (1, 'Acme "Best"'), (3, '<b>Bold</b>');
  insert into Tags values (null, 'untagged');
  insert into Orders values
    (1, 2, 1, 'O''Brien "x" <b>', 'line one</textarea>', null, '2004-01-31',
     '2004-01-31 10:05:00', x'00'),
    (2, null, null, null, null, 7, null, null, null);
)sql";

constexpr long kSearch = 1, kUpdate = 2, kAdd = 3;


// The shop database, the page frame begun for table Orders, and the clock
// fixed at 2031-07-04 09:05.
class InputControls : public ::testing::Test {
 protected:
  InputControls() : db(kShop) { Restart(); }

  // A new request on a new object, the page begun for table Orders.
  void Restart() {
    harness_.emplace();
    h().Set("set_dns", Variant(db.connection_string()));
    h().Set("UserId", Variant(1));
    h().Set("set_user1_CanTable", Variant("Orders[VAU],Customers[V],Tags[V],Nowhere[V]"));
    h().object().ALLPagesBegin();
    h().object().CurrentTable = Variant("Orders");
  }
  testing::ComponentHarness& h() { return *harness_; }
  void SetUp() override { SetFixedNow(MakeDate(CivilTime{2031, 7, 4, 9, 5, 0})); }
  void TearDown() override { SetFixedNow(std::nullopt); }

  // Positions Rs on order `id`, as the update page does.
  void OpenOrder(int id) {
    auto rs = h().object().NewRecordset();
    h().object().OpenRecordset(*rs, "select * from [Orders] where Id=" + std::to_string(id));
    h().object().Rs = Variant(rs);
  }
  void Ask(const std::string& name, const std::string& value) {
    h().request().AddFormItem(name, value);
  }
  std::string Control(const char* field, long type, long tip) {
    h().object().InputKoyF(Variant(field), Variant(type), Variant(tip));
    return h().TakeOutput();
  }

  testing::TestDatabase db;

 private:
  std::optional<testing::ComponentHarness> harness_;
};

// The customer drop-down, ordered by name, with `selected` (an id) marked.
std::string CustomerList(const char* selected) {
  auto option = [&](const char* id, const char* text) {
    bool is = selected != nullptr && std::string(selected) == id;
    return std::string("<option value=\"") + id + "\"" + (is ? " selected" : "") + ">" + text +
           "</option>";
  };
  return "<select name=\"CustomerId\" class=\"select\"><option value=\"\">Select</option>" +
         option("3", "&lt;b&gt;Bold&lt;/b&gt;") + option("1", "Acme &quot;Best&quot;") +
         option("2", "Zeta &amp; Co") + "</select>";
}

std::string TextBox(const char* name, const char* value) {
  return std::string("<input type=\"textbox\" name=\"") + name + "\" value=\"" + value +
         "\" size=\"25\">";
}

TEST_F(InputControls, RelationMarkedYesOffersTheRelatedRowsOnEveryForm) {
  struct Case {
    const char* id;
    const char* marker;
    long tip;
    const char* asked;  // the request's CustomerId, if any
    int stored_order;   // Rs positioned on this order, if not 0
    const char* selected;
  } cases[] = {
      {"rel-1.1", "yes", kSearch, nullptr, 0, nullptr},
      {"rel-1.2", "Yes", kSearch, "1", 0, "1"},
      {"rel-1.3", "YES", kUpdate, nullptr, 1, "2"},  // the stored customer
      {"rel-1.4", "yes", kUpdate, "3", 1, "3"},      // the request wins
      {"rel-1.5", "yes", kUpdate, nullptr, 2, nullptr},
      {"rel-1.6", "yes", kAdd, nullptr, 0, nullptr},
      {"rel-1.7", "yes", kAdd, "01", 0, nullptr},  // ids match as exact text
  };
  for (const Case& c : cases) {
    Restart();
    h().Set("set_relation1",
            Variant(std::string("Orders.CustomerId,Customers,Id,Name,") + c.marker));
    if (c.asked != nullptr) Ask("CustomerId", c.asked);
    if (c.stored_order != 0) OpenOrder(c.stored_order);

    EXPECT_EQ(Control("CustomerId", adodb::kInteger, c.tip), CustomerList(c.selected)) << c.id;
    ASSERT_FALSE(h().sql().empty()) << c.id;
    EXPECT_EQ(h().sql().back(), "select Id as id, Name as cap from [Customers] order by Name")
        << c.id;
    EXPECT_EQ(ObjectAs<adodb::Recordset>(h().object().Rs2).State(), 0) << c.id << " left open";
  }
}

TEST_F(InputControls, RelationNotMarkedYesLeavesTheFieldItsOwnControl) {
  for (const char* marker : {"no", "yess", "", " yes"}) {
    h().Set("set_relation1", Variant(std::string("Orders.CustomerId,Customers,Id,Name,") + marker));
    EXPECT_EQ(Control("CustomerId", adodb::kInteger, kAdd), TextBox("CustomerId", "0")) << marker;
  }
}

TEST_F(InputControls, CaptionsTheUserMayNotViewAreNeverOffered) {
  // Withheld caption field or related table: the field's own control, and
  // the related rows are not read.
  for (const char* withheld : {"field", "table"}) {
    Restart();
    h().Set("set_relation1", Variant("Orders.CustomerId,Customers,Id,Name,yes"));
    if (std::string(withheld) == "field")
      h().Set("set_user1_CantField", Variant("Customers.Name[V]"));
    else
      h().Set("set_user1_CanTable", Variant("Orders[VAU]"));
    std::string control = Control("CustomerId", adodb::kInteger, kSearch);
    EXPECT_TRUE(control.starts_with("<input type=\"textbox\" name=\"CustomerId\""))
        << withheld << ": " << control;
    EXPECT_TRUE(h().sql().empty()) << withheld;
  }
}

TEST_F(InputControls, RelationDropDownWinsOverAValueList) {
  h().Set("set_select1", Variant("Orders.CustomerId,1,One"));
  h().Set("set_relation1", Variant("*.CustomerId,Customers,Id,Name,yes"));
  EXPECT_EQ(Control("CustomerId", adodb::kInteger, kSearch), CustomerList(nullptr));
}

TEST_F(InputControls, ValueListOffersItsPairsAndMarksTheShownValue) {
  const std::string list_head =
      "<select name=\"Status\" class=\"select\"><option value=\"\">Select</option>";
  struct Case {
    const char* id;
    long tip;
    const char* asked;
    int stored_order;
    const char* expected_options;
  } cases[] = {
      {"sel-1.1", kSearch, nullptr, 0,
       "<option value=\"0\">Open</option><option value=\"1\">Shipped</option>"
       "<option value=\"2\">Closed</option>"},
      {"sel-1.2", kUpdate, nullptr, 1,
       "<option value=\"0\">Open</option><option value=\"1\" selected>Shipped</option>"
       "<option value=\"2\">Closed</option>"},
      {"sel-1.3", kUpdate, "2", 1,
       "<option value=\"0\">Open</option><option value=\"1\">Shipped</option>"
       "<option value=\"2\" selected>Closed</option>"},
      {"sel-1.4", kAdd, "0", 0,
       "<option value=\"0\" selected>Open</option><option value=\"1\">Shipped</option>"
       "<option value=\"2\">Closed</option>"},
  };
  for (const Case& c : cases) {
    Restart();
    h().Set("set_select1", Variant("Orders.Status,0,Open,1,Shipped,2,Closed"));
    if (c.asked != nullptr) Ask("Status", c.asked);
    if (c.stored_order != 0) OpenOrder(c.stored_order);
    EXPECT_EQ(Control("Status", adodb::kInteger, c.tip),
              list_head + c.expected_options + "</select>")
        << c.id;
  }
}

TEST_F(InputControls, ValueListIsTheFirstEntryThatNamesTheField) {
  const std::string head =
      "<select name=\"Status\" class=\"select\"><option value=\"\">Select</option>";
  struct Case {
    const char* id;
    std::vector<const char*> entries;  // set_select1, 2, ...; nullptr leaves a gap
    std::string expected;
  } cases[] = {
      {"sel-2.1", {"*.status,1,A"}, head + "<option value=\"1\" selected>A</option></select>"},
      {"sel-2.2", {"orders.STATUS,1,A"}, head + "<option value=\"1\" selected>A</option></select>"},
      {"sel-2.3", {"Customers.Status,1,A"}, TextBox("Status", "1")},
      {"sel-2.4", {"Status,1,A"}, TextBox("Status", "1")},
      {"sel-2.5",
       {"Orders.Title,x,y", "*.Status,1,A", "Orders.Status,1,B"},
       head + "<option value=\"1\" selected>A</option></select>"},
      {"sel-2.6", {"Orders.Title,x,y", nullptr, "Orders.Status,1,A"}, TextBox("Status", "1")},
      // A last value without its text is left out; an entry may offer nothing.
      {"sel-2.7", {"Orders.Status,0,Open,1"}, head + "<option value=\"0\">Open</option></select>"},
      {"sel-2.8", {"Orders.Status"}, head + "</select>"},
      // Values match as exact text; texts are escaped as text.
      {"sel-2.9",
       {"Orders.Status, 1,<b>One</b>"},
       head + "<option value=\" 1\">&lt;b&gt;One&lt;/b&gt;</option></select>"},
  };
  for (const Case& c : cases) {
    Restart();
    for (size_t n = 0; n < c.entries.size(); ++n)
      if (c.entries[n] != nullptr)
        h().Set("set_select" + std::to_string(n + 1), Variant(c.entries[n]));
    Ask("Status", "1");
    EXPECT_EQ(Control("Status", adodb::kInteger, kSearch), c.expected) << c.id;
  }
}

TEST_F(InputControls, OtherwiseTheFieldTypeDecidesTheControl) {
  const std::string area =
      "<textarea name=\"F\" class=\"select\" cols=\"50\" rows=\"8\"></textarea>";
  const std::string box = TextBox("F", "");
  const std::string zero_box = TextBox("F", "0");
  struct Case {
    long type;
    std::string on_search, on_add;
  } cases[] = {
      {201, area, area},   {203, area, area},   {129, box, box},
      {200, box, box},     {202, box, box},     {130, box, box},
      {204, box, box},     {12, box, box},      {3, box, zero_box},
      {2, box, zero_box},  {20, box, zero_box}, {11, box, zero_box},  // no check box
      {5, box, zero_box},  {6, box, zero_box},  {131, box, zero_box},
      {17, box, zero_box}, {72, box, zero_box}, {205, "", ""},
      {16, "", ""},        {133, "", ""},       {0, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Control("F", c.type, kSearch), c.on_search) << c.type;
    EXPECT_EQ(Control("F", c.type, kAdd), c.on_add) << c.type;
  }
  // A type that is no number at all matches no control.
  h().object().InputKoyF(Variant("F"), Variant::Null(), Variant(kSearch));
  EXPECT_EQ(h().TakeOutput(), "");
}

TEST_F(InputControls, ATypeThatIsNoWholeNumberWithinRangeMatchesNoControl) {
  // Beyond 64 bits a plain cast to an integer is undefined behaviour.
  const Variant types[] = {
      Variant(1e300), Variant(-1e300), Variant(9223372036854775808.0), Variant("1E+30"),
      Variant(std::numeric_limits<double>::infinity()),
      Variant(std::numeric_limits<double>::quiet_NaN()), Variant(202.5),
  };
  for (size_t i = 0; i < std::size(types); ++i) {
    h().object().InputKoyF(Variant("F"), types[i], Variant(kAdd));
    EXPECT_EQ(h().TakeOutput(), "") << "case " << i;
  }
}

TEST_F(InputControls, ShowsTheRequestValueElseOnTheUpdateFormTheStoredOne) {
  struct Case {
    const char* id;
    const char* field;
    long type, tip;
    const char* asked;
    int stored_order;
    std::string expected;
  } cases[] = {
      {"val-1.1", "Qty", adodb::kInteger, kAdd, "7", 0, TextBox("Qty", "7")},
      {"val-1.2", "Qty", adodb::kInteger, kUpdate, nullptr, 2, TextBox("Qty", "7")},
      {"val-1.3", "Qty", adodb::kInteger, kUpdate, nullptr, 1, TextBox("Qty", "")},  // Null
      {"val-1.4", "Qty", adodb::kInteger, kUpdate, "12", 2, TextBox("Qty", "12")},
      {"val-1.5", "Qty", adodb::kInteger, kSearch, nullptr, 2, TextBox("Qty", "")},
      {"val-1.6", "Title", adodb::kVarWChar, kUpdate, nullptr, 1,
       TextBox("Title", "O&#39;Brien &quot;x&quot; &lt;b&gt;")},
      {"val-1.7", "Notes", adodb::kLongVarWChar, kUpdate, nullptr, 1,
       "<textarea name=\"Notes\" class=\"select\" cols=\"50\" rows=\"8\">"
       "line one&lt;/textarea&gt;</textarea>"},
      {"val-1.8", "Title", adodb::kVarWChar, kSearch, "a\"b & <c>", 0,
       TextBox("Title", "a&quot;b &amp; &lt;c&gt;")},
      {"val-1.9", "Notes", adodb::kLongVarWChar, kAdd, "x</textarea><b>", 0,
       "<textarea name=\"Notes\" class=\"select\" cols=\"50\" rows=\"8\">"
       "x&lt;/textarea&gt;&lt;b&gt;</textarea>"},
  };
  for (const Case& c : cases) {
    Restart();
    if (c.asked != nullptr) Ask(c.field, c.asked);
    if (c.stored_order != 0) OpenOrder(c.stored_order);
    EXPECT_EQ(Control(c.field, c.type, c.tip), c.expected) << c.id;
  }
}

TEST_F(InputControls, SearchPanelDateIsATickableRangeOfTwoDays) {
  DateLists lists = ReadDateLists(Control("ShippedAt", adodb::kDBTimeStamp, kSearch));
  // Day, month and year only, whatever the field's kind.
  EXPECT_EQ(lists.Names(),
            (std::vector<std::string>{"ShippedAt1_d", "ShippedAt1_m", "ShippedAt1_y",
                                      "ShippedAt2_d", "ShippedAt2_m", "ShippedAt2_y"}));
  EXPECT_EQ(lists.gaps,
            (std::vector<std::string>{"<input type=\"checkbox\" name=\"ShippedAt\" value=\"E\">",
                                      "", "", "<br>&nbsp;&nbsp;/&nbsp;&nbsp;", "", "", ""}));
  // Both ends start at today.
  for (const auto& list : lists.lists) {
    char part = list.name.back();
    EXPECT_EQ(list.Selected(), part == 'd' ? "4" : part == 'm' ? "7" : "2031") << list.name;
  }

  Ask("ShippedAt", "E");
  Ask("ShippedAt1_d", "5");
  Ask("ShippedAt2_y", "2030");
  lists = ReadDateLists(Control("ShippedAt", adodb::kDBTimeStamp, kSearch));
  EXPECT_EQ(lists.gaps.front(), "<input type=\"checkbox\" name=\"ShippedAt\" value=\"E\" checked>");
  EXPECT_EQ(lists.Find("ShippedAt1_d")->Selected(), "5");
  EXPECT_EQ(lists.Find("ShippedAt2_d")->Selected(), "4");
  EXPECT_EQ(lists.Find("ShippedAt2_y")->Selected(), "2030");

  // Only the exact "E" ticks the box.
  Restart();
  Ask("OrderDate", "e");
  EXPECT_EQ(ReadDateLists(Control("OrderDate", adodb::kDate, kSearch)).gaps.front(),
            "<input type=\"checkbox\" name=\"OrderDate\" value=\"E\">");
}

TEST_F(InputControls, FormDatesShowTheRequestThenTheStoredValueThenNow) {
  struct Case {
    const char* id;
    const char* field;
    long type, tip;
    std::vector<std::pair<const char*, const char*>> asked;
    int stored_order;
    std::vector<std::string> selected;  // d, m, y[, h, i]
  } cases[] = {
      {"date-1.1",
       "ShippedAt",
       adodb::kDBTimeStamp,
       kUpdate,
       {},
       1,
       {"31", "1", "2004", "10", "5"}},
      {"date-1.2", "OrderDate", adodb::kDate, kUpdate, {}, 1, {"31", "1", "2004"}},
      {"date-1.3", "ShippedAt", adodb::kDBTimeStamp, kUpdate, {}, 2, {"4", "7", "2031", "9", "5"}},
      // The request's parts win once the day is given; missing ones are now.
      {"date-1.4",
       "ShippedAt",
       adodb::kDBTimeStamp,
       kUpdate,
       {{"ShippedAt_d", "3"}, {"ShippedAt_m", "2"}},
       1,
       {"3", "2", "2031", "9", "5"}},
      // Without the day the stored value stands.
      {"date-1.5",
       "ShippedAt",
       adodb::kDBTimeStamp,
       kUpdate,
       {{"ShippedAt_m", "2"}},
       1,
       {"31", "1", "2004", "10", "5"}},
      {"date-1.6", "OrderDate", adodb::kDate, kAdd, {}, 0, {"4", "7", "2031"}},
      {"date-1.7",
       "ShippedAt",
       adodb::kDBTimeStamp,
       kAdd,
       {{"ShippedAt_y", "1999"}, {"ShippedAt_i", "45"}},
       0,
       {"4", "7", "1999", "9", "45"}},
  };
  const char* suffixes[] = {"_d", "_m", "_y", "_h", "_i"};
  for (const Case& c : cases) {
    Restart();
    for (const auto& [name, value] : c.asked) Ask(name, value);
    if (c.stored_order != 0) OpenOrder(c.stored_order);
    DateLists lists = ReadDateLists(Control(c.field, c.type, c.tip));
    ASSERT_EQ(lists.lists.size(), c.selected.size()) << c.id;
    for (size_t k = 0; k < c.selected.size(); ++k) {
      EXPECT_EQ(lists.lists[k].name, std::string(c.field) + suffixes[k]) << c.id;
      EXPECT_EQ(lists.lists[k].Selected(), c.selected[k]) << c.id << " " << suffixes[k];
    }
  }
  // The stored 31 January 2004 10:05 shows as 31, 01, 2004, 10 and 05.
  Restart();
  OpenOrder(1);
  std::string out = Control("ShippedAt", adodb::kDBTimeStamp, kUpdate);
  for (const char* option :
       {"<Option value=\"31\" selected>31</option>", "<Option value=\"1\" selected>01</option>",
        "<Option value=\"2004\" selected>2004</option>",
        "<Option value=\"10\" selected>10</option>", "<Option value=\"5\" selected>05</option>"})
    EXPECT_NE(out.find(option), std::string::npos) << option;
  // Other form kinds get no date control.
  EXPECT_EQ(Control("ShippedAt", adodb::kDBTimeStamp, 4), "");
  EXPECT_EQ(Control("ShippedAt", adodb::kDBTimeStamp, 0), "");
}

TEST_F(InputControls, FailuresEndTheCall) {
  struct Case {
    const char* id;
    const char* relation;
    const char* select;
    long tip;
    bool open_order;
    long expected;
  } cases[] = {
      {"err-1.1", "Orders.CustomerId,Customers,Id,Name", nullptr, kSearch, false, kErrSubscript},
      {"err-1.2", "Orders.CustomerId,Nowhere,Id,Name,yes", nullptr, kSearch, false, kErrProvider},
      {"err-1.3", "Orders.CustomerId,Customers,Id,NoSuchName,yes", nullptr, kSearch, false,
       kErrProvider},
      {"err-1.4", "Orders.CustomerId,Tags,Code,Label,yes", nullptr, kSearch, false,
       kErrInvalidNull},                                        // a related row without a key
      {"err-1.5", nullptr, "", kSearch, false, kErrSubscript},  // an entry holding ""
      {"err-1.6", nullptr, nullptr, kUpdate, false, kErrObjectRequired},  // no Rs
  };
  for (const Case& c : cases) {
    Restart();
    if (c.relation != nullptr) h().Set("set_relation1", Variant(c.relation));
    if (c.select != nullptr) h().Set("set_select1", Variant(c.select));
    EXPECT_EQ(ErrorNumberOf([&] { Control("CustomerId", adodb::kInteger, c.tip); }), c.expected)
        << c.id;
  }

  // A field the stored record lacks, on the update form.
  Restart();
  OpenOrder(1);
  EXPECT_EQ(ErrorNumberOf([&] { Control("Missing", adodb::kInteger, kUpdate); }), kErrItemNotFound);
  // The relation drop-down needs the look-up recordset of the page frame.
  testing::ComponentHarness unbegun;
  unbegun.Set("set_dns", Variant(db.connection_string()));
  unbegun.Set("set_relation1", Variant("*.CustomerId,Customers,Id,Name,yes"));
  unbegun.Set("UserId", Variant(1));
  unbegun.Set("set_user1_CanTable", Variant("Orders[VAU],Customers[V]"));
  EXPECT_EQ(ErrorNumberOf([&] {
              unbegun.object().InputKoyF(Variant("CustomerId"), Variant(3), Variant(kSearch));
            }),
            kErrObjectRequired);
}

TEST_F(InputControls, InputKoyWritesTheControlOfTheNumberedField) {
  auto names = std::make_shared<scripting::Dictionary>();
  auto types = std::make_shared<scripting::Dictionary>();
  names->Add(Variant(1), Variant("Title"));
  types->Add(Variant(1), Variant(adodb::kVarWChar));
  names->Add(Variant(2), Variant("Notes"));
  types->Add(Variant(2), Variant(adodb::kLongVarWChar));
  h().object().FieldNames = Variant(names);
  h().object().FieldTypes = Variant(types);
  Ask("Title", "T");

  EXPECT_EQ(ConcatText(h().object().InputKoy(Variant(1), Variant(kSearch))), "");
  EXPECT_EQ(h().TakeOutput(), TextBox("Title", "T"));
  h().object().InputKoy(Variant(2.0), Variant(kAdd));
  EXPECT_EQ(h().TakeOutput(),
            "<textarea name=\"Notes\" class=\"select\" cols=\"50\" rows=\"8\"></textarea>");

  // Before a field list is loaded there is nothing to look the number up in.
  testing::ComponentHarness unloaded;
  EXPECT_EQ(ErrorNumberOf([&] { unloaded.object().InputKoy(Variant(1), Variant(kSearch)); }),
            kErrObjectRequired);
}

}  // namespace
}  // namespace tabrix
