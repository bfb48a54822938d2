// Every write changes exactly the rows the user picked: rows are addressed
// by their whole key (or, without one, by their values), a key holding the
// selection box's "|" keeps its whole value, a view is only shown, rows
// that cannot be told apart are never changed, and a table whose triggers
// write other rows can still be changed. Each case goes through the pages
// as a user meets it: the list's links and boxes, the record page, the
// update page and the bulk action the hosting page carries out.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/adodb/recordset.h"
#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "support/error_number.h"
#include "support/test_database.h"

namespace tabrix {
namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kSchema = R"sql(
  create table Lines (OrderId integer, ProductId integer, Qty integer,
                      primary key (OrderId, ProductId));
  insert into Lines values (1, 10, 5);
  insert into Lines values (1, 11, 6);
  insert into Lines values (2, 10, 7);
  create view LineView as select OrderId, Qty from Lines;
  create table Products (Id integer primary key, Name varchar(10));
  insert into Products values (10, 'tea');
  insert into Products values (11, 'milk');
  create table Codes (Code varchar(10) primary key, Label varchar(10));
  insert into Codes values ('a', 'plain');
  insert into Codes values ('a|b', 'piped');
  insert into Codes values ('~x', 'tilde');
  create table Notes (Body varchar(20), N integer, V double precision);
  insert into Notes values ('same', 1, 0.5);
  insert into Notes values ('same', 1, 0.5);
  insert into Notes values ('other', 2, 0.30000000000000004);
  insert into Notes values ('nothing', null, null);
)sql";

// The pages over one database, a new request (and object) per call. User 1
// may view, add, update and run action 1 ("Delete") on every table; each
// table's code is its name.
class Pages {
 public:
  explicit Pages(const std::string& schema = kSchema) : db_(schema) {}

  const testing::TestDatabase& db() const { return db_; }
  testing::ComponentHarness& h() { return *h_; }
  void Set(const std::string& key, Variant value) { extra_.emplace_back(key, std::move(value)); }

  std::string Search(const std::string& table) {
    Begin("go=1&t=" + table).Search(Variant(table));
    return h_->TakeOutput();
  }
  std::string Info(const std::string& table, const std::string& id) {
    Begin("t=" + table).Info(Variant(table), Variant(id));
    return h_->TakeOutput();
  }
  // Posts `form` to the update page of record `id` (without "go": the form).
  std::string Update(const std::string& table, const std::string& id, const Items& form) {
    Tabrix1& page = Begin("t=" + table, form);
    h_->request().AddFormItem("id", id);
    page.Update(Variant(table), Variant(id));
    return h_->TakeOutput();
  }
  std::string Add(const std::string& table, const Items& form) {
    Begin("t=" + table, form).Add(Variant(table));
    return h_->TakeOutput();
  }
  // Picks `values` (the list's box values) for action 1, confirmed, and
  // deletes what the page hands back, as the hosting page does.
  std::string Delete(const std::string& table, const std::vector<std::string>& values) {
    Items form{{"c", std::to_string(values.size())}, {"a", "1"}, {"onay", "1"}};
    for (size_t i = 0; i < values.size(); ++i)
      form.emplace_back("id" + std::to_string(i + 1), values[i]);
    Variant result = Begin("t=" + table, form).Action(Variant(table), Variant(1));
    if (result.IsObject()) {
      auto& rs = ObjectAs<adodb::Recordset>(result);
      if (rs.State() == 1) {
        for (int n = 0; !rs.Eof() && n < 100; ++n) {
          rs.Delete();
          rs.MoveNext();
        }
        rs.Close();
      }
    }
    return h_->TakeOutput();
  }

  // The rows of `table` in order, one line each.
  std::string Rows(const std::string& table, const std::string& order_by = "1, 2") const {
    auto rs = adodb::NewRecordset();
    rs->Open(Variant("select * from [" + table + "] order by " + order_by),
             Variant(db_.connection_string()), Variant(adodb::kStatic), Variant(adodb::kReadOnly));
    std::string rows;
    for (; !rs->Eof(); rs->MoveNext()) {
      for (long i = 0; i < rs->fields().Count(); ++i) {
        Variant v = rs->Value(Variant(i));
        rows += (i == 0 ? "" : "|") + (v.IsNull() ? std::string("NULL") : ConcatText(v));
      }
      rows += "\n";
    }
    rs->Close();
    return rows;
  }

 private:
  Tabrix1& Begin(const std::string& query, const Items& form = {}) {
    h_ = std::make_unique<testing::ComponentHarness>();
    h_->Set("set_dns", Variant(db_.connection_string()));
    h_->Set("UserId", Variant(1));
    h_->Set("set_user1_CanTable",
            Variant("Lines[VAUD],LineView[VAUD],Codes[VAUD],Notes[VAUD],Parents[VAUD],Wide[VAUD],Products[V]"));
    h_->Set("set_action1", Variant("Delete,D,ALL"));
    for (const char* table : {"Lines", "LineView", "Codes", "Notes", "Parents", "Wide", "Products"})
      h_->Set(std::string("code_") + table, Variant(table));
    for (const auto& [key, value] : extra_) h_->Set(key, value);
    h_->request().SetServerVariable("SCRIPT_NAME", "/Search.asp");
    h_->request().SetQueryString(query);
    for (const auto& [name, value] : form) h_->request().AddFormItem(name, value);
    return h_->object();
  }

  testing::TestDatabase db_;
  std::vector<std::pair<std::string, Variant>> extra_;
  std::unique_ptr<testing::ComponentHarness> h_;
};

// Every match of `pattern`'s first group in `text`.
std::set<std::string> All(const std::string& text, const std::string& pattern) {
  std::set<std::string> found;
  std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it)
    found.insert((*it)[1].str());
  return found;
}

std::set<std::string> BoxValues(const std::string& page) {
  return All(page, "type=\"checkbox\" name=\"id[0-9]+\" value=\"([^\"]*)\"");
}

std::set<std::string> RecordLinks(const std::string& page, const std::string& table) {
  return All(page, "href=\"Info\\.asp\\?t=" + table + "&id=([^\"]*)\"");
}

TEST(RowAddresses, ARowOfATwoColumnKeyIsPickedByItsWholeKey) {
  Pages pages;
  std::string list = pages.Search("Lines");
  EXPECT_EQ(BoxValues(list), (std::set<std::string>{"~1~10|1", "~1~11|1", "~2~10|2"}));
  EXPECT_EQ(RecordLinks(list, "Lines"),
            (std::set<std::string>{"%7E1%7E10", "%7E1%7E11", "%7E2%7E10"}));

  // The record page and the update page find the one line.
  std::string record = pages.Info("Lines", "~1~11");
  EXPECT_NE(record.find(">6</p></td>"), std::string::npos) << record;
  EXPECT_EQ(record.find(">5</p></td>"), std::string::npos) << record;
  pages.Update("Lines", "~1~11", {{"go", "1"}, {"Checked_Qty", "Yes"}, {"Qty", "60"}});
  EXPECT_EQ(pages.Rows("Lines"), "1|10|5\n1|11|60\n2|10|7\n");

  // Ticking one line of order 1 deletes that line alone.
  pages.Delete("Lines", {"~1~10|1"});
  EXPECT_EQ(pages.Rows("Lines"), "1|11|60\n2|10|7\n");
}

TEST(RowAddresses, AKeyHoldingTheSeparatorKeepsItsWholeValue) {
  Pages pages;
  std::string list = pages.Search("Codes");
  // A plain key keeps its bytes; "a|b" and "~x" are written joined.
  EXPECT_EQ(BoxValues(list), (std::set<std::string>{"a|a", "~a%7Cb|a|b", "~%7Ex|~x"}));
  EXPECT_NE(pages.Info("Codes", "~a%7Cb").find(">piped</td>"), std::string::npos);
  EXPECT_NE(pages.Info("Codes", "~%7Ex").find(">tilde</td>"), std::string::npos);

  pages.Delete("Codes", {"~a%7Cb|a|b"});
  EXPECT_EQ(pages.Rows("Codes"), "a|plain\n~x|tilde\n");
  pages.Delete("Codes", {"~%7Ex|~x"});
  EXPECT_EQ(pages.Rows("Codes"), "a|plain\n");
}

TEST(RowAddresses, MalformedAddressesAreRefusedBeforeAnyWrite) {
  for (const char* id : {"~1", "~1~10~3", "~1~x", "~1~%4", "~1~%G0", "1"}) {
    Pages pages;
    EXPECT_EQ(testing::ErrorNumberOf([&] {
                pages.Update("Lines", id, {{"go", "1"}, {"Checked_Qty", "Yes"}, {"Qty", "0"}});
              }),
              kErrInvalidArgument)
        << id;
    EXPECT_EQ(pages.Rows("Lines"), "1|10|5\n1|11|6\n2|10|7\n") << id;
  }
}

TEST(RowAddresses, AViewIsShownAndNeverChanged) {
  Pages pages;
  std::string list = pages.Search("LineView");
  EXPECT_TRUE(BoxValues(list).empty()) << list;
  EXPECT_EQ(list.find("Add.asp"), std::string::npos);
  EXPECT_EQ(list.find("Action.asp"), std::string::npos);
  EXPECT_EQ(list.find("Select All"), std::string::npos);

  // Order 1 has two lines in the view: its record page shows both, and no
  // link to change either.
  std::string record = pages.Info("LineView", "1");
  EXPECT_NE(record.find(">5</p></td>"), std::string::npos) << record;
  EXPECT_NE(record.find(">6</p></td>"), std::string::npos) << record;
  EXPECT_EQ(record.find("Update.asp"), std::string::npos);
  EXPECT_EQ(record.find("Action.asp"), std::string::npos);

  EXPECT_EQ(pages.Update("LineView", "2", {}), "Access denied!");
  EXPECT_EQ(pages.Add("LineView", {}), "Access denied!");
  EXPECT_EQ(pages.Delete("LineView", {"1|1"}), "Access Denied!");
  EXPECT_EQ(pages.Rows("Lines"), "1|10|5\n1|11|6\n2|10|7\n");
}

TEST(RowAddresses, ATableWithoutAKeyIsAddressedByItsValues) {
  Pages pages;
  std::string list = pages.Search("Notes");
  EXPECT_EQ(BoxValues(list), (std::set<std::string>{"~same~1~0.5|same", "~other~2~0.30000000000000004|other",
                                                    "~nothing~!~!|nothing"}));

  // Two rows that hold the same values cannot be told apart: neither is
  // changed, and the page says so.
  std::string refused =
      pages.Update("Notes", "~same~1~0.5", {{"go", "1"}, {"Checked_N", "Yes"}, {"N", "9"}});
  EXPECT_NE(refused.find("matches 2 records"), std::string::npos) << refused;
  EXPECT_NE(pages.Delete("Notes", {"~same~1~0.5|same"}).find("nothing was changed"),
            std::string::npos);
  const std::string before = "nothing|NULL|NULL\nother|2|0.3\nsame|1|0.5\nsame|1|0.5\n";
  EXPECT_EQ(pages.Rows("Notes"), before);

  // A row of its own is found by every digit of its double and by its Nulls.
  pages.Update("Notes", "~other~2~0.30000000000000004",
               {{"go", "1"}, {"Checked_N", "Yes"}, {"N", "3"}});
  pages.Update("Notes", "~nothing~!~!", {{"go", "1"}, {"Checked_N", "Yes"}, {"N", "4"}});
  EXPECT_EQ(pages.Rows("Notes"), "nothing|4|NULL\nother|3|0.3\nsame|1|0.5\nsame|1|0.5\n");
  pages.Delete("Notes", {"~other~3~0.30000000000000004|other"});
  EXPECT_EQ(pages.Rows("Notes"), "nothing|4|NULL\nsame|1|0.5\nsame|1|0.5\n");
}

TEST(RowAddresses, ARowTooLongToAddressIsShownReadOnly) {
  const std::string body(2100, 'x');
  Pages pages("create table Wide (Body varchar(3000), N integer);"
              "insert into Wide values ('" + body + "', 1);"
              "insert into Wide values ('short', 2);");
  std::string list = pages.Search("Wide");
  EXPECT_EQ(BoxValues(list), (std::set<std::string>{"~short~2|short"}));
  EXPECT_EQ(RecordLinks(list, "Wide"), (std::set<std::string>{"%7Eshort%7E2"}));
  EXPECT_NE(list.find(body), std::string::npos);
}

TEST(RowAddresses, ARelationLinksOnlyToARecordItsKeyNamesAlone) {
  Pages pages;
  // Lines is keyed by two columns: neither OrderId nor Qty names a line.
  pages.Set("set_relation1", Variant("Notes.N,Lines,Qty,OrderId,no"));
  pages.Set("set_relation2", Variant("Lines.ProductId,Products,Id,Name,no"));
  std::string notes = pages.Search("Notes");
  EXPECT_EQ(notes.find("images/link.gif"), std::string::npos) << notes;
  std::string lines = pages.Search("Lines");
  EXPECT_NE(lines.find("tea <A href='Info.asp?t=Products&id=10'>"), std::string::npos) << lines;
}

TEST(RowAddresses, ATableWhoseTriggersWriteOtherRowsCanBeChanged) {
  if (testing::TestEngine() != "sqlite") GTEST_SKIP() << "the trigger script is SQLite's";
  Pages pages(R"sql(
    create table Parents (Id integer primary key, Name text);
    create table Audit (Note text);
    create trigger parents_updated after update on Parents begin
      insert into Audit values ('updated ' || new.Name);
      insert into Audit values ('again');
    end;
    create trigger parents_deleted after delete on Parents begin
      insert into Audit values ('deleted ' || old.Name);
      insert into Audit values ('again');
    end;
    insert into Parents values (1, 'Ada');
    insert into Parents values (2, 'Bob');
  )sql");
  pages.Update("Parents", "1", {{"go", "1"}, {"Checked_Name", "Yes"}, {"Name", "Ann"}});
  EXPECT_EQ(ConcatText(pages.h().session().Value("msg")), "Record updated successfully!");
  pages.Delete("Parents", {"2|2"});
  EXPECT_EQ(pages.Rows("Parents"), "1|Ann\n");
  EXPECT_EQ(pages.Rows("Audit", "1"), "again\nagain\ndeleted Bob\nupdated Ann\n");
}

}  // namespace
}  // namespace tabrix
