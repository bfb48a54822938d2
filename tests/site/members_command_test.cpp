// `tabrix members` and the interface it prints: the 68 members in slot
// order with their kinds and parameter names, and every member answering
// through `tabrix call`, refusing a wrong number of arguments with 450.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "site/variant_json.h"
#include "support/tabrix_process.h"

namespace tabrix::site {
namespace {

namespace fs = std::filesystem;
using testing::ProcessRun;
using testing::RunTabrix;
using testing::TestFolder;

struct Member {
  int slot;
  const char* name;
  const char* kind;
  const char* parameters;  // joined by ","
};

// The published interface, in slot order.
constexpr Member kInterface[] = {
    {1, "UserLogin", "property", ""},
    {2, "session", "property", ""},
    {3, "Request", "property", ""},
    {4, "Response", "property", ""},
    {5, "Server", "property", ""},
    {6, "LeftMenuStr", "property", ""},
    {7, "AddLink", "method", "G1,G2,G3,G4"},
    {8, "AddTable", "method", "G1,G2,G3,G4,G5,G6,G7,G8,G9,G10"},
    {9, "GetTableSpesific", "method", "TabloName"},
    {10, "TableProperties", "method", "TabloName,PNo"},
    {11, "YetkiKontrol", "method", "TableName,Yetki"},
    {12, "YetkiKontrolField", "method", "TableName,FieldName,Yetki"},
    {13, "YetkiKontrolStr", "method",
     "TableName,Yetki,CanTable,CantTable,CanAction,CantAction,CantField"},
    {14, "IcindeVarmi", "method", "Gelen1,Gelen2"},
    {15, "GetFieldList", "method", "TabloName"},
    {16, "GetFieldType", "method", "FName"},
    {17, "Replacetext", "method", "Gelen"},
    {18, "TabloFieldsDoldur", "method", "TabloName"},
    {19, "AddField", "method", "FName,FCaption,FType"},
    {20, "SQLTarih", "method", "BasName"},
    {21, "ShowField", "method", "FName,FValue,FNo"},
    {22, "CaptionGetir", "method", "cTableName,cId,cFieldName"},
    {23, "SqlSonuc", "method", "SqlStr,Tip"},
    {24, "SqlSonucDns", "method", "SqlStr,Tip,DnsT"},
    {25, "FiyatYaz", "method", "Gelen"},
    {26, "InputKoyF", "method", "FieldName,FieldType,Tip"},
    {27, "InputKoy", "method", "FNo,Tip"},
    {28, "DateSelectKoy", "method", "Name,Tip,D,M,Y,H,i"},
    {29, "CheckStr", "method", "Gelen"},
    {30, "IfNull", "method", "Gelen,Deger"},
    {31, "CheckNum", "method", "Gelen"},
    {32, "RoundNull", "method", "Gelen,par"},
    {33, "FiyatGoster", "method", "gelenq"},
    {34, "TarihYaz", "method", "Gelen"},
    {35, "TarihYazB", "method", "Gelen"},
    {36, "TarihYazK", "method", "Gelen"},
    {37, "IkiliYaz", "method", "gelenSayi"},
    {38, "GetFile", "method", "FileName"},
    {39, "Yaz", "method", "Gelen"},
    {40, "GeneratePinCode", "method", "Cn"},
    {41, "CaptionDuzelt", "method", "Name"},
    {42, "FieldCaption", "method", "Name"},
    {43, "IntToBin", "method", "IntegerNumber"},
    {44, "CanDbUpdate", "method", "rsf"},
    {45, "CanUpdate", "method", "rsf"},
    {46, "CanAdd", "method", "rsf"},
    {47, "GetThis", "method", "Ana,From,Bolum1,Bolum2"},
    {48, "ActionThis", "method", "Ano,TName"},
    {49, "ActionName", "method", "Ano"},
    {50, "SelectFieldList", "method", "TName"},
    {51, "GetBols", "method", "AnaStr,BolStr,Nom"},
    {52, "CheckRelation", "method", "TName,FName"},
    {53, "GetRelation", "method", "TName,FName"},
    {54, "szEncryptDecrypt", "method", "szData"},
    {55, "EnCr", "method", "szData"},
    {56, "RsValue", "method", "FName"},
    {57, "IdSQL", "method", "FValue"},
    {58, "CaptionInclude", "method", ""},
    {59, "Class_Initialize", "method", ""},
    {60, "CheckLogin", "method", "User,Pass,M1,M2"},
    {61, "DatabaseMenu", "method", ""},
    {62, "ALLPagesBegin", "method", ""},
    {63, "ALLPagesEnd", "method", ""},
    {64, "Search", "method", "GTName"},
    {65, "Info", "method", "GTName,RecordId"},
    {66, "Add", "method", "GtTable"},
    {67, "Update", "method", "GtTable,RecordId"},
    {68, "Action", "method", "GtTable,ActionNo"},
};

std::string Line(const Member& m) {
  return std::to_string(m.slot) + "\t" + m.name + "\t" + m.kind + "\t" + m.parameters;
}

TEST(MembersCommand, PrintsTheWholeInterfaceInSlotOrder) {
  TestFolder dir;
  ProcessRun run = RunTabrix(dir.path(), {"members"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), '\n');

  // Each printed line by its slot; the slots in the order printed.
  std::vector<int> printed_slots;
  std::map<int, std::string> by_slot;
  std::istringstream text(run.out);
  for (std::string line; std::getline(text, line);) {
    printed_slots.push_back(std::stoi(line));
    by_slot[printed_slots.back()] = line;
  }
  // Each member is checked on its own, so a missing one is named by its slot.
  std::vector<int> slots;
  for (const Member& m : kInterface) {
    slots.push_back(m.slot);
    auto printed = by_slot.find(m.slot);
    if (printed == by_slot.end()) {
      ADD_FAILURE() << "slot " << m.slot << " (" << m.name << ") is not printed";
      continue;
    }
    EXPECT_EQ(printed->second, Line(m));
  }
  // Nothing else, and in slot order.
  std::vector<int> known;
  for (int slot : printed_slots)
    if (by_slot.count(slot) != 0 && std::find(slots.begin(), slots.end(), slot) != slots.end())
      known.push_back(slot);
  EXPECT_EQ(known, printed_slots) << "printed slots that are not members";
  EXPECT_TRUE(std::is_sorted(printed_slots.begin(), printed_slots.end()));
  EXPECT_EQ(by_slot.size(), printed_slots.size()) << "a slot printed twice";
}

TEST(MembersCommand, TakesNoArguments) {
  TestFolder dir;
  ProcessRun help = RunTabrix(dir.path(), {"members", "--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("Usage: tabrix members"), std::string::npos);

  ProcessRun bad = RunTabrix(dir.path(), {"members", "Action"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_NE(bad.err.find("\"Action\""), std::string::npos) << bad.err;

  // The program's own help lists the command.
  ProcessRun listed = RunTabrix(dir.path(), {"--help"});
  EXPECT_NE(listed.out.find("  members "), std::string::npos) << listed.out;
}

// One call of each member with arguments it accepts, after the calls that
// make its object ready (each a --then chain on one object).
struct MemberCase {
  const char* name;
  std::vector<std::vector<std::string>> before;  // calls made first
  std::vector<std::string> args;
};

const std::string kField =
    R"({"type":"Object","class":"Field","Name":"Customer","Type":202,"Attributes":104})";
const std::string kDate = R"({"type":"Date","value":"2004-03-05"})";
const std::vector<std::string> kTable = {"GetTableSpesific", "\"Orders\""};
const std::vector<std::string> kFields = {"GetFieldList", "\"Orders\""};

const MemberCase kCalls[] = {
    {"UserLogin", {}, {}},
    {"session", {}, {}},
    {"Request", {}, {}},
    {"Response", {}, {}},
    {"Server", {}, {}},
    {"LeftMenuStr", {}, {}},
    {"AddLink", {}, {"1", "\"a\"", "\"b\"", "\"c\""}},
    {"AddTable", {}, {"1", "\"Orders\"", "3", "4", "5", "6", "7", "8", "9", "10"}},
    {"GetTableSpesific", {}, {"\"Orders\""}},
    {"TableProperties",
     {{"AddTable", "1", "\"Orders\"", "3", "4", "5", "6", "7", "8", "9", "10"}},
     {"\"orders\"", "5"}},
    {"YetkiKontrol", {}, {"\"Orders\"", "\"V\""}},
    {"YetkiKontrolField", {}, {"\"Orders\"", "\"Customer\"", "\"V\""}},
    {"YetkiKontrolStr",
     {},
     {"\"Orders\"", "\"V\"", "\"Orders[V]\"", "\"\"", "\"\"", "\"\"", "\"\""}},
    {"IcindeVarmi", {}, {"\"a,b\"", "\"b\""}},
    {"GetFieldList", {}, {"\"Orders\""}},
    {"GetFieldType", {kFields}, {"\"OrderId\""}},
    {"Replacetext", {}, {"\"Orders\""}},
    {"TabloFieldsDoldur", {}, {"\"Orders\""}},
    {"AddField", {kFields}, {"\"Extra\"", "\"Extra\"", "3"}},
    {"SQLTarih", {}, {"\"OrderDate\""}},
    {"ShowField", {kTable, kFields}, {"\"Customer\"", "\"Ada\"", "2"}},
    {"CaptionGetir", {{"ALLPagesBegin"}}, {"\"Orders\"", "0", "\"Customer\""}},
    {"SqlSonuc", {}, {"\"select count(*) from Orders\"", "1"}},
    {"SqlSonucDns", {}, {"\"select 1\"", "0", "\"Provider=SQLite;Data Source=demo.db\""}},
    {"FiyatYaz", {}, {"1234.5"}},
    {"InputKoyF", {kTable, kFields}, {"\"Customer\"", "202", "1"}},
    {"InputKoy", {kTable, kFields}, {"2", "1"}},
    {"DateSelectKoy", {}, {"\"d\"", "1", "5", "3", "2004", "9", "7"}},
    {"CheckStr", {}, {"\"O'Brien\""}},
    {"IfNull", {}, {"null", "\"x\""}},
    {"CheckNum", {}, {"\"12\""}},
    {"RoundNull", {}, {"1.234", "2"}},
    {"FiyatGoster", {}, {"12.5"}},
    {"TarihYaz", {}, {kDate}},
    {"TarihYazB", {}, {kDate}},
    {"TarihYazK", {}, {kDate}},
    {"IkiliYaz", {}, {"5"}},
    {"GetFile", {}, {"\"absent.txt\""}},
    {"Yaz", {}, {"\"x\""}},
    {"GeneratePinCode", {}, {"6"}},
    {"CaptionDuzelt", {}, {"\"ORDER_DATE\""}},
    {"FieldCaption", {}, {"\"ORDER_DATE\""}},
    {"IntToBin", {}, {"5"}},
    {"CanDbUpdate", {}, {kField}},
    {"CanUpdate", {}, {kField}},
    {"CanAdd", {}, {kField}},
    {"GetThis", {}, {"\",a=Alpha,\"", "1", "\",a=\"", "\",\""}},
    {"ActionThis", {}, {"1", "\"Orders\""}},
    {"ActionName", {}, {"1"}},
    {"SelectFieldList", {kTable, kFields}, {"\"Orders\""}},
    {"GetBols", {}, {"\"a,b,c\"", "\",\"", "1"}},
    {"CheckRelation", {}, {"\"Orders\"", "\"Customer\""}},
    {"GetRelation", {}, {"\"Orders\"", "\"Customer\""}},
    {"szEncryptDecrypt", {}, {"\"abc\""}},
    {"EnCr", {}, {"\"abc\""}},
    {"RsValue", {{"Action", "\"Orders\"", "1"}}, {"\"Customer\""}},
    {"IdSQL", {kTable, kFields}, {"\"5\""}},
    {"CaptionInclude", {}, {}},
    {"Class_Initialize", {}, {}},
    {"CheckLogin", {}, {"\"ada\"", "\"secret\"", "\"Wrong\"", "\"Welcome\""}},
    {"DatabaseMenu", {}, {}},
    {"ALLPagesBegin", {}, {}},
    {"ALLPagesEnd", {}, {}},
    {"Search", {}, {"\"Orders\""}},
    {"Info", {{"DatabaseMenu"}}, {"\"Orders\"", "1"}},
    {"Add", {{"DatabaseMenu"}}, {"\"Orders\""}},
    {"Update", {{"DatabaseMenu"}}, {"\"Orders\"", "1"}},
    {"Action", {}, {"\"Orders\"", "1"}},
};

TEST(MembersCommand, EveryMemberAnswersThroughCallAndRefusesAWrongArgumentCount) {
  TestFolder dir;
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir.path() / "demo.db").c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db,
                         "CREATE TABLE Orders (OrderId INTEGER PRIMARY KEY, Customer TEXT, "
                         "OrderDate DATE);"
                         "INSERT INTO Orders VALUES (1, 'Ada', '2004-03-05');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  // A logged-in user with every right on Orders, one action, the cipher
  // keys, a confirmed bulk-action request and an add post with its date.
  const std::vector<std::string> options = {
      "--set", "set_dns=Provider=SQLite;Data Source=demo.db",
      "--setjson", "UserId=1",
      "--set", "set_user1_username=ada",
      "--set", "set_user1_password=secret",
      "--set", "set_user1_CanTable=Orders[VAUD]",
      "--set", "set_action1=Delete,D,ALL",
      "--set", "set_encryptkey=k3y",
      "--set", "set_projectname=shop",
      "--param", "go=1",
      "--param", "c=1",
      "--param", "id1=1|Ada",
      "--param", "onay=1",
      "--param", "OrderDate_y=2004",
      "--param", "OrderDate_m=3",
      "--param", "OrderDate_d=5",
  };

  ASSERT_EQ(std::size(kCalls), std::size(kInterface));
  for (size_t i = 0; i < std::size(kCalls); ++i) {
    const MemberCase& c = kCalls[i];
    const Member& member = kInterface[i];
    SCOPED_TRACE(std::to_string(member.slot) + " " + member.name);
    ASSERT_STREQ(c.name, member.name);

    std::vector<std::string> words = {"call"};
    words.insert(words.end(), options.begin(), options.end());
    for (const auto& call : c.before) {
      words.insert(words.end(), call.begin(), call.end());
      words.push_back("--then");
    }
    words.push_back(c.name);
    words.insert(words.end(), c.args.begin(), c.args.end());
    // Then once more with one argument too many (a property: two).
    words.insert(words.end(), {"--then", c.name});
    size_t extra = std::string_view(member.kind) == "property" ? 2 : c.args.size() + 1;
    for (size_t n = 0; n < extra; ++n) words.push_back("1");

    ProcessRun run = RunTabrix(dir.path(), words);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    if (run.out.empty()) continue;
    Json report = Json::parse(run.out);
    const Json& calls = report["calls"];
    // Every call but the last one ran; the last one raised 450.
    if (calls.size() != c.before.size() + 2) {
      ADD_FAILURE() << "the member's own call failed: " << report["error"].dump();
      continue;
    }
    EXPECT_EQ(calls[c.before.size()]["member"], member.name);  // spelled as published
    EXPECT_EQ(report["error"]["member"], member.name);
    EXPECT_EQ(report["error"]["number"], 450) << report["error"].dump();
  }
}

}  // namespace
}  // namespace tabrix::site
