// The bulk action page: the confirmation form to the byte, the confirmed
// request's message and recordset, refusal, no matching record, the id
// literals of text and numeric keys, the errors of bad requests, the bound
// on the number of slots, escaping of every request value the form writes
// back, and the hosting page carrying the action out through the returned
// recordset.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "host/adodb/recordset.h"
#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "support/error_number.h"
#include "support/process_limits_scope.h"
#include "support/test_database.h"

using tabrix::testing::ErrorNumberOf;

namespace tabrix {
namespace {

constexpr const char* kSchema = R"sql(
  CREATE TABLE Orders (OrderId INTEGER PRIMARY KEY, Customer TEXT);
  INSERT INTO Orders VALUES (1, 'Ada');
  INSERT INTO Orders VALUES (2, 'Bob');
  INSERT INTO Orders VALUES (3, 'Cy');
  INSERT INTO Orders VALUES (4, 'Di');
  INSERT INTO Orders VALUES (5, 'Ed');
  CREATE TABLE Codes (Code TEXT PRIMARY KEY, Label TEXT);
  INSERT INTO Codes VALUES ('A''1', 'first');
  INSERT INTO Codes VALUES ('B2', 'second');
  INSERT INTO Codes VALUES ('C3', 'third');
  INSERT INTO Codes VALUES ('1-2-3', 'key');
  INSERT INTO Codes VALUES ('0001-02-03', 'day');
)sql";

// The heading block the page writes for action "Delete" on Orders.
constexpr const char* kHeading =
    "<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\">"
    "<caption><font size='1'>Orders</font><br><b>Delete</caption></table>";
constexpr const char* kPageEnd = "\r\n\r\n\r\n\r\n\r\n\r\n";

// A bulk action page over a real database: user 1 holds view and delete on
// both tables; action 1 is "Delete" (letter D, every table), action 2
// "Archive" (letter A, which the user lacks).
class ActionPage {
 public:
  ActionPage() : db_(kSchema) {
    h_.Set("set_dns", Variant(db_.connection_string()));
    h_.Set("UserId", Variant(1));
    h_.Set("set_user1_CanTable", Variant("Orders[VD],Codes[VD]"));
    h_.Set("set_action1", Variant("Delete,D,ALL"));
    h_.Set("set_action2", Variant("Archive,A,Orders"));
    h_.Set("code_Orders", Variant("ORD"));
  }

  testing::ComponentHarness& h() { return h_; }
  Tabrix1& object() { return h_.object(); }
  const testing::TestDatabase& db() const { return db_; }

  // Posts `items` as the form and calls Action(table, action).
  Variant Run(const std::vector<std::pair<std::string, std::string>>& items,
              const char* table = "Orders", Variant action = Variant(1)) {
    for (const auto& [name, value] : items) h_.request().AddFormItem(name, value);
    return h_.object().Action(Variant(table), action);
  }

  adodb::Recordset& Rs() { return ObjectAs<adodb::Recordset>(h_.object().Rs); }

  // The record queries the page ran (those with an id list).
  std::vector<std::string> RecordQueries() const {
    std::vector<std::string> out;
    for (const std::string& sql : h_.sql())
      if (sql.find(" in (") != std::string::npos) out.push_back(sql);
    return out;
  }

  // The codes left in Codes, in order.
  std::vector<std::string> CodesLeft() {
    auto rs = adodb::NewRecordset();
    rs->Open(Variant("select Code from Codes order by Code"), Variant(db_.connection_string()),
             Variant(3), Variant(1));
    std::vector<std::string> codes;
    for (int guard = 0; !rs->Eof() && guard < 100; ++guard, rs->MoveNext())
      codes.push_back(ConcatText(rs->Value(Variant("Code"))));
    rs->Close();
    return codes;
  }

  // The keys left in Orders, in order.
  std::vector<long> OrderIds() {
    auto rs = adodb::NewRecordset();
    rs->Open(Variant("select OrderId from Orders order by OrderId"),
             Variant(db_.connection_string()), Variant(3), Variant(1));
    std::vector<long> ids;
    for (int guard = 0; !rs->Eof() && guard < 100; ++guard, rs->MoveNext())
      ids.push_back(static_cast<long>(ToLong(rs->Value(Variant("OrderId")))));
    rs->Close();
    return ids;
  }

 private:
  testing::TestDatabase db_;
  testing::ComponentHarness h_;
};

TEST(ActionPage, ConfirmationFormRepeatsEverySlotAndLeavesTheRecordsetAtItsEnd) {
  ActionPage page;
  page.h().Set("msg", Variant("earlier"));
  Variant result = page.Run({{"c", "3"}, {"id2", "2|Bob"}});

  EXPECT_EQ(page.h().TakeOutput(),
            std::string(kHeading) +
                "        <form action=\"Action.asp\" method=\"post\">"
                "        <input type=\"hidden\" name=\"a\" value=\"1\">"
                "        <input type=\"hidden\" name=\"t\" value=\"ORD\">"
                "        <input type=\"hidden\" name=\"c\" value=\"3\">"
                "        <input type=\"hidden\" name=\"idlistcheck\" value=\"\">"
                "        <input type=\"hidden\" name=\"idlist\" value=\"\">"
                "        <input type=\"hidden\" name=\"id1\" value=\"\">"
                "        <input type=\"hidden\" name=\"id2\" value=\"2|Bob\">"
                "        <input type=\"hidden\" name=\"id3\" value=\"\">"
                "        <input type=\"hidden\" name=\"onay\" value=\"1\">"
                "        &nbsp;<br>"
                "        <table class=\"none\">"
                "        <thead>"
                "          <tr>"
                "            <td class=\"none\">Are you sure to want \"<b>Delete</b>\" these "
                "records?"
                "            <br>"
                "            Records :<br>"
                "            <select size=\"8\" style=\"width:100:px;\"><option>Bob</option>"
                "</select><br>&nbsp;"
                "             <table class=\"none\"><tr><td class=\"none\"><input type=\"image\" "
                "src=\"images/but_yes.gif\"></td><td class=\"none\"><A href=\"#\" "
                "onclick=\"history.back();\"><img src=\"images/but_cancel.gif\" "
                "align=\"absmiddle\" border=\"0\"></a></td></tr></table>"
                "        </font></td>"
                "          </tr>"
                "        </table>"
                "        </form>"
                "        &nbsp;" +
                kPageEnd);
  EXPECT_EQ(page.RecordQueries(),
            (std::vector<std::string>{"select * from [Orders] WHERE OrderId in (2)"}));
  ASSERT_TRUE(result.IsObject());
  EXPECT_EQ(result.object(), page.object().Rs.object());
  EXPECT_TRUE(page.Rs().Eof());
  EXPECT_EQ(ConcatText(page.h().session().Value("msg")), "earlier");
}

TEST(ActionPage, ConfirmedRequestReplacesTheMessageAndReturnsTheFirstPickedRecord) {
  ActionPage page;
  page.h().Set("set_action1", Variant("Delete SELECTED,D,ALL"));
  page.h().Set("msg", Variant("Record added successfully!"));
  Variant result =
      page.Run({{"c", "4"}, {"id2", "2|Bob"}, {"id4", "4|Di"}, {"onay", "1"}, {"a", "1"}});

  EXPECT_EQ(page.h().TakeOutput(),
            "<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\">"
            "<caption><font size='1'>Orders</font><br><b>Delete SELECTED</caption></table>" +
                std::string(kPageEnd));
  EXPECT_EQ(ConcatText(page.h().session().Value("msg")),
            "Record(s) has been delete selected successfully!");
  ASSERT_TRUE(result.IsObject());
  adodb::Recordset& rs = page.Rs();
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(ToLong(rs.Value(Variant("OrderId"))), 2);
  EXPECT_EQ(rs.RecordCount(), 2);
}

TEST(ActionPage, OnlyConfirmationByExactlyOneConfirms) {
  for (const char* onay : {"", "01", "1 ", "yes"}) {
    SCOPED_TRACE(onay);
    ActionPage page;
    page.Run({{"c", "1"}, {"id1", "1|Ada"}, {"onay", onay}});
    EXPECT_NE(page.h().TakeOutput().find("<form action=\"Action.asp\""), std::string::npos);
    EXPECT_TRUE(page.h().session().Value("msg").IsEmpty());
    EXPECT_TRUE(page.Rs().Eof());
  }
}

TEST(ActionPage, ARefusedUserGetsTheRefusalAloneOnBothRequests) {
  for (const char* onay : {"", "1"}) {
    SCOPED_TRACE(onay);
    ActionPage page;
    page.h().Set("msg", Variant("earlier"));
    // Action 2 needs the letter A; action 1 is refused on a table the user
    // holds no D on.
    Variant result = page.Run({{"c", "1"}, {"id1", "1|Ada"}, {"onay", onay}}, "Orders", Variant(2));
    EXPECT_EQ(page.h().TakeOutput(), "Access Denied!");
    EXPECT_TRUE(result.IsEmpty());
    EXPECT_TRUE(page.RecordQueries().empty());
    EXPECT_EQ(ConcatText(page.h().session().Value("msg")), "earlier");

    page.h().Set("set_user1_CanTable", Variant("Orders[V]"));
    result = page.object().Action(Variant("Orders"), Variant(1));
    EXPECT_EQ(page.h().TakeOutput(), "Access Denied!");
    EXPECT_TRUE(result.IsEmpty());
  }
}

TEST(ActionPage, PickedRecordsThatAreGoneLeaveNoRecordFound) {
  for (const char* onay : {"", "1"}) {
    SCOPED_TRACE(onay);
    ActionPage page;
    page.h().Set("msg", Variant("earlier"));
    Variant result = page.Run({{"c", "2"}, {"id1", "98|Gone"}, {"id2", "99|Gone too"},
                               {"onay", onay}});
    EXPECT_EQ(page.h().TakeOutput(), std::string("No record found!") + kPageEnd);
    ASSERT_TRUE(result.IsObject());
    EXPECT_TRUE(page.Rs().Eof());
    EXPECT_EQ(ConcatText(page.h().session().Value("msg")), "earlier");
    EXPECT_EQ(page.object().PageCaption.string(), "<font size='1'>Orders</font><br><b>Delete");
  }
}

TEST(ActionPage, IdsBecomeLiteralsOfTheKeysType) {
  struct Case {
    const char* table;
    std::vector<std::pair<std::string, std::string>> slots;
    const char* sql;
    long records;
  };
  const Case cases[] = {
      // Text keys are quoted with apostrophes doubled.
      {"Codes", {{"id1", "A'1|first"}, {"id3", "B2|second"}},
       "select * from [Codes] WHERE Code in ('A''1','B2')", 2},
      // The field list is loaded first, so a numeric key is compared as a
      // number, and an id that is no number becomes 0.
      {"Orders", {{"id1", "3|Cy"}, {"id2", "x7|?"}, {"id3", " 5 |Ed"}},
       "select * from [Orders] WHERE OrderId in (3,0,5)", 2},
      // Numbers in the invariant form.
      {"Orders", {{"id1", "1.5|half"}}, "select * from [Orders] WHERE OrderId in (1.5)", 0},
      // A bar inside a title or after it is not part of the id.
      {"Orders", {{"id3", "4|D|i"}}, "select * from [Orders] WHERE OrderId in (4)", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    ActionPage page;
    auto items = c.slots;
    items.insert(items.begin(), {"c", "3"});
    items.push_back({"onay", "1"});
    page.Run(items, c.table);
    EXPECT_EQ(page.RecordQueries(), std::vector<std::string>{c.sql});
    EXPECT_EQ(page.Rs().RecordCount(), c.records);
  }
}

TEST(ActionPage, BadRequestsRaiseBeforeTheRecordQuery) {
  struct Case {
    const char* id;
    std::vector<std::pair<std::string, std::string>> items;
    Variant action;
    long error;
    const char* described;  // a piece of the error's description
  };
  const Case cases[] = {
      {"undefined action", {{"c", "1"}, {"id1", "1|Ada"}}, Variant(7), kErrSubscript, ""},
      {"slot without bar", {{"c", "3"}, {"id1", "1|Ada"}, {"id2", "2"}}, Variant(1),
       kErrSubscript, "\"id2\""},
      {"c not a number", {{"c", "three"}, {"id1", "1|Ada"}}, Variant(1), kErrTypeMismatch,
       "\"c\""},
      {"c missing", {{"id1", "1|Ada"}}, Variant(1), kErrTypeMismatch, "\"c\""},
      {"no slot filled", {{"c", "3"}, {"id1", ""}}, Variant(1), kErrInvalidArgument,
       "no record was picked"},
      {"c zero walks no slot", {{"c", "0"}, {"id1", "1|Ada"}}, Variant(1), kErrInvalidArgument,
       "no record was picked"},
      {"c below zero", {{"c", "-2"}, {"id1", "1|Ada"}}, Variant(1), kErrInvalidArgument,
       "no record was picked"},
      // The slot past "c" is never read.
      {"filled slot past c", {{"c", "1"}, {"id2", "2|Bob"}}, Variant(1), kErrInvalidArgument,
       "no record was picked"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    ActionPage page;
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { page.Run(c.items, "Orders", c.action); }, &description),
              c.error);
    EXPECT_NE(description.find(c.described), std::string::npos) << description;
    // No SQL text was run: not the field list's, not the record query.
    EXPECT_EQ(page.h().sql(), std::vector<std::string>{});
    EXPECT_EQ(page.h().TakeOutput(), "");
  }

  // The undefined action fails before anything else: the table is not
  // even made current.
  ActionPage page;
  EXPECT_EQ(ErrorNumberOf([&] { page.Run({{"c", "1"}, {"id1", "1|Ada"}}, "Orders", Variant(3)); }),
            kErrSubscript);
  EXPECT_TRUE(page.object().CurrentTable.IsEmpty());
  EXPECT_TRUE(page.h().sql().empty());
}

TEST(ActionPage, AHugeSlotCountIsBoundedByTheLargestPage) {
  testing::ProcessLimitsScope scope(ProcessLimits{.max_page_size = 4});
  for (const char* c : {"1000000000", "1E+300", "4.9"}) {
    SCOPED_TRACE(c);
    ActionPage page;
    page.Run({{"c", c}, {"id4", "4|Di"}, {"id5", "5|Ed"}});
    std::string out = page.h().TakeOutput();
    EXPECT_NE(out.find("name=\"id4\" value=\"4|Di\">"), std::string::npos);
    EXPECT_EQ(out.find("name=\"id5\""), std::string::npos);
    // The count goes back as it was sent.
    EXPECT_NE(out.find("name=\"c\" value=\"" + std::string(c) + "\">"), std::string::npos);
    EXPECT_EQ(page.RecordQueries(),
              (std::vector<std::string>{"select * from [Orders] WHERE OrderId in (4)"}));
  }
}

TEST(ActionPage, RequestValuesAreEscapedInTheForm) {
  ActionPage page;
  page.h().Set("set_action1\"x", Variant("Delete,D,ALL"));
  page.h().Set("code_Orders", Variant("O\"R<D"));
  page.Run({{"c", "2"},
            {"idlist", "\"><script>alert(1)</script>"},
            {"idlistcheck", "a&b"},
            {"id1", "1|<b>O'Brien</b>"},
            {"id2", "2|\"Bob\" & co"}},
           "Orders", Variant("1\"x"));
  std::string out = page.h().TakeOutput();
  const char* pieces[] = {
      "name=\"a\" value=\"1&quot;x\">",
      "name=\"t\" value=\"O&quot;R&lt;D\">",
      "name=\"idlistcheck\" value=\"a&amp;b\">",
      "name=\"idlist\" value=\"&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\">",
      "name=\"id1\" value=\"1|&lt;b&gt;O&#39;Brien&lt;/b&gt;\">",
      "name=\"id2\" value=\"2|&quot;Bob&quot; &amp; co\">",
      "<option>&lt;b&gt;O&#39;Brien&lt;/b&gt;</option><option>&quot;Bob&quot; &amp; co</option>",
  };
  for (const char* piece : pieces) EXPECT_NE(out.find(piece), std::string::npos) << piece;
  EXPECT_EQ(out.find("<script>"), std::string::npos);
}

TEST(ActionPage, TheHostingPageDeletesExactlyThePickedRecordsThroughTheRecordset) {
  // The first request hands back a recordset at its end: nothing to act on.
  ActionPage page;
  page.Run({{"c", "4"}, {"id1", "1|Ada"}, {"id3", "3|Cy"}, {"id4", "99|Gone"}});
  for (int guard = 0; !page.Rs().Eof() && guard < 10; ++guard) {
    page.Rs().Delete();
    page.Rs().MoveNext();
  }
  EXPECT_EQ(page.OrderIds(), (std::vector<long>{1, 2, 3, 4, 5}));

  // The confirmed request hands it back on its first record, as a hosting
  // page walks it: from the current record to the end.
  ActionPage confirmed;
  confirmed.Run({{"c", "4"}, {"id1", "1|Ada"}, {"id3", "3|Cy"}, {"id4", "99|Gone"}, {"onay", "1"}});
  adodb::Recordset& rs = confirmed.Rs();
  for (int guard = 0; !rs.Eof() && guard < 10; ++guard) {
    rs.Delete();
    rs.MoveNext();
  }
  EXPECT_EQ(confirmed.OrderIds(), (std::vector<long>{2, 4, 5}));
}

TEST(ActionPage, ATextKeyShapedLikeADateActsOnItsOwnRecordOnly) {
  ActionPage page;
  page.Run({{"c", "2"}, {"id1", "1-2-3|key"}, {"onay", "1"}}, "Codes");
  EXPECT_EQ(page.RecordQueries(),
            std::vector<std::string>{"select * from [Codes] WHERE Code in ('1-2-3')"});
  adodb::Recordset& rs = page.Rs();
  for (int guard = 0; !rs.Eof() && guard < 10; ++guard) {
    rs.Delete();
    rs.MoveNext();
  }
  EXPECT_EQ(page.CodesLeft(), (std::vector<std::string>{"0001-02-03", "A'1", "B2", "C3"}));
}

}  // namespace
}  // namespace tabrix
