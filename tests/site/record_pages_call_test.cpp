// The add and update pages' posts through `tabrix call`: what the real
// executable stores in a SQLite file, the script it answers with, and the
// message it leaves in the session.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "site/call_fixture.h"

namespace tabrix::site {
namespace {

using testing::CallCommandTest;
using testing::CallResult;
using testing::MakeDatabase;
using testing::V;
namespace fs = std::filesystem;

constexpr const char* kShop = R"sql(
  create table Orders (Id integer primary key, Title varchar(50), Qty integer, Price money,
                       Due date, Shipped datetime);
  insert into Orders values (7, 'Tea', 3, 2.5, '2008-01-02', '2008-01-02 10:00:00');
)sql";

// The rows `sql` reads from the SQLite file at `path`, one line each, values
// separated by "|" (Null as "NULL").
std::string Rows(const fs::path& path, const char* sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string rows;
  auto collect = [](void* out, int n, char** values, char**) {
    auto& text = *static_cast<std::string*>(out);
    for (int i = 0; i < n; ++i)
      text += (i ? "|" : "") + std::string(values[i] ? values[i] : "NULL");
    text += "\n";
    return 0;
  };
  EXPECT_EQ(sqlite3_exec(db, sql, collect, &rows, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
  return rows;
}

// The session of a user who may view, add and update Orders, on shop.db.
std::vector<std::string> Settings() {
  return {"--set", "set_dns=Provider=SQLite;Data Source=shop.db", "--set", "UserId=1",
          "--set", "set_user1_CanTable=Orders[VAU]", "--set", "code_Orders=ORD",
          "--set", "msg=Saved."};
}

TEST_F(CallCommandTest, AnAddPostStoresConvertedValuesAndLeadsToTheInsertedRecord) {
  MakeDatabase(dir_ / "shop.db", kShop);
  std::vector<std::string> words = Settings();
  for (const char* item : {"go=1", "Title=Milk", "Qty=", "Price=12.50", "Due_y=2008",
                           "Due_m=3", "Due_d=7", "Due_h=", "Due_i=", "Shipped_y=2009",
                           "Shipped_m=11", "Shipped_d=30", "Shipped_h=8", "Shipped_i=15"})
    words.insert(words.end(), {"--form", item});
  words.insert(words.end(), {"Add", "\"Orders\""});
  CallResult run = Call(words);
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.report["calls"][0]["output"],
            "<script language=\"javascript\">window.location.href='Info.asp?t=ORD&id=8';"
            "</script>\r\n\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(run.report["session"]["msg"],
            V(R"({"type":"String","value":"Saved.Record added successfully!"})"));
  EXPECT_EQ(run.report["sql"], V(R"(["select top 1 * from [Orders]"])"));
  EXPECT_EQ(Rows(dir_ / "shop.db", "select * from Orders order by Id"),
            "7|Tea|3|2.5|2008-01-02|2008-01-02 10:00:00\n"
            "8|Milk|0|12.5|2008-03-07|2009-11-30 08:15:00\n");
}

TEST_F(CallCommandTest, AnUpdatePostChangesOnlyTheTickedFields) {
  MakeDatabase(dir_ / "shop.db", kShop);
  std::vector<std::string> words = Settings();
  words.insert(words.end(), {"--param", "id=7"});
  for (const char* item : {"go=1", "Checked_Title=Yes", "Title=Tee", "Qty=99",
                           "Checked_Price=yes", "Price=1", "Checked_Due=Yes", "Due_y=2010",
                           "Due_m=6", "Due_d=15", "Due_h=", "Due_i="})
    words.insert(words.end(), {"--form", item});
  words.insert(words.end(), {"Update", "\"Orders\"", "\"7\""});
  CallResult run = Call(words);
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.report["calls"][0]["output"],
            "<script language=\"javascript\">window.location.href='Info.asp?t=ORD&id=7';"
            "</script>\r\n\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(run.report["session"]["msg"],
            V(R"({"type":"String","value":"Saved.Record updated successfully!"})"));
  EXPECT_EQ(Rows(dir_ / "shop.db", "select * from Orders"),
            "7|Tee|3|2.5|2010-06-15|2008-01-02 10:00:00\n");
}

}  // namespace
}  // namespace tabrix::site
