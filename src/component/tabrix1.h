// Tabrix1: the component. One object serves one request.
//
// A hosting page creates the object, assigns the four intrinsics (`session`,
// `Request`, `Response`, `Server`), calls one page method and drops the
// object; what must survive lives in the Session. The class is declared here
// once; its methods are defined across the subsystem folders (metadata/,
// access/, values/, render/, pages/), one file per topic. Every method takes
// Variants by reference and returns one Variant (Empty when it has nothing to
// return); no method assigns to its parameters except DateSelectKoy, which
// fills its empty date parts. Failures raise ScriptError and pass unchanged
// to the caller; nothing already written or stored is undone.
//
// Member names are the component's published names. The object is used by
// one thread and takes no locks.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "component/row_key.h"
#include "component/setting_memos.h"
#include "host/adodb/recordset.h"
#include "host/request.h"
#include "host/response.h"
#include "host/server.h"
#include "host/session.h"
#include "host/variant.h"
#include "values/case_twins.h"

namespace tabrix {

namespace scripting {
class Dictionary;
}

class Tabrix1 {
 public:
  Tabrix1();

  // --- Properties (slots 1-6) ---
  Variant UserLogin;
  Variant session;
  Variant Request;
  Variant Response;
  Variant Server;
  Variant LeftMenuStr;

  // --- The current table and its field list ---
  Variant FieldCount;
  Variant FieldNames;     // Dictionary 1..FieldCount -> name
  Variant FieldTypes;     // Dictionary 1..FieldCount -> ADO type number
  Variant FieldCaptions;  // Dictionary 1..FieldCount -> caption
  Variant CurrentTable;
  Variant TableCaption;
  Variant ListFields;
  Variant SearchFields;
  Variant ActionList;
  Variant IdField;
  Variant TitleField;
  Variant Rs;
  Variant Rs2;
  Variant BackLink;
  Variant PageCaption;
  Variant CaptionAppend;

  // --- Registers (rows 0..100) ---
  std::array<std::array<Variant, 11>, 101> Tables;
  Variant TableCount;
  std::array<std::array<Variant, 5>, 101> Links;
  Variant LinkCount;

  // --- Methods in slot order (7-68) ---
  Variant AddLink(const Variant& G1, const Variant& G2, const Variant& G3, const Variant& G4);
  Variant AddTable(const Variant& G1, const Variant& G2, const Variant& G3, const Variant& G4,
                   const Variant& G5, const Variant& G6, const Variant& G7, const Variant& G8,
                   const Variant& G9, const Variant& G10);
  Variant GetTableSpesific(const Variant& TabloName);
  Variant TableProperties(const Variant& TabloName, const Variant& PNo);
  Variant YetkiKontrol(const Variant& TableName, const Variant& Yetki);
  Variant YetkiKontrolField(const Variant& TableName, const Variant& FieldName,
                            const Variant& Yetki);
  Variant YetkiKontrolStr(const Variant& TableName, const Variant& Yetki, const Variant& CanTable,
                          const Variant& CantTable, const Variant& CanAction,
                          const Variant& CantAction, const Variant& CantField);
  Variant IcindeVarmi(const Variant& Gelen1, const Variant& Gelen2);
  Variant GetFieldList(const Variant& TabloName);
  Variant GetFieldType(const Variant& FName);
  Variant Replacetext(const Variant& Gelen);
  Variant TabloFieldsDoldur(const Variant& TabloName);
  Variant AddField(const Variant& FName, const Variant& FCaption, const Variant& FType);
  Variant SQLTarih(const Variant& BasName);
  Variant ShowField(const Variant& FName, const Variant& FValue, const Variant& FNo);
  Variant CaptionGetir(const Variant& cTableName, const Variant& cId, const Variant& cFieldName);
  Variant SqlSonuc(const Variant& SqlStr, const Variant& Tip);
  Variant SqlSonucDns(const Variant& SqlStr, const Variant& Tip, const Variant& DnsT);
  Variant FiyatYaz(const Variant& Gelen);
  Variant InputKoyF(const Variant& FieldName, const Variant& FieldType, const Variant& Tip);
  Variant InputKoy(const Variant& FNo, const Variant& Tip);
  Variant DateSelectKoy(const Variant& Name, const Variant& Tip, Variant& D, Variant& M,
                        Variant& Y, Variant& H, Variant& i);
  Variant CheckStr(const Variant& Gelen);
  Variant IfNull(const Variant& Gelen, const Variant& Deger);
  Variant CheckNum(const Variant& Gelen);
  Variant RoundNull(const Variant& Gelen, const Variant& par);
  Variant FiyatGoster(const Variant& gelenq);
  Variant TarihYaz(const Variant& Gelen);
  Variant TarihYazB(const Variant& Gelen);
  Variant TarihYazK(const Variant& Gelen);
  Variant IkiliYaz(const Variant& gelenSayi);
  Variant GetFile(const Variant& FileName);
  Variant Yaz(const Variant& Gelen);
  Variant GeneratePinCode(const Variant& Cn);
  Variant CaptionDuzelt(const Variant& Name);
  Variant FieldCaption(const Variant& Name);
  Variant IntToBin(const Variant& IntegerNumber);
  Variant CanDbUpdate(const Variant& rsf);
  Variant CanUpdate(const Variant& rsf);
  Variant CanAdd(const Variant& rsf);
  Variant GetThis(const Variant& Ana, const Variant& From, const Variant& Bolum1,
                  const Variant& Bolum2);
  Variant ActionThis(const Variant& Ano, const Variant& TName);
  Variant ActionName(const Variant& Ano);
  Variant SelectFieldList(const Variant& TName);
  Variant GetBols(const Variant& AnaStr, const Variant& BolStr, const Variant& Nom);
  Variant CheckRelation(const Variant& TName, const Variant& FName);
  Variant GetRelation(const Variant& TName, const Variant& FName);
  Variant szEncryptDecrypt(const Variant& szData);
  Variant EnCr(const Variant& szData);
  Variant RsValue(const Variant& FName);
  Variant IdSQL(const Variant& FValue);
  Variant CaptionInclude();
  void Class_Initialize();
  Variant CheckLogin(const Variant& User, const Variant& Pass, const Variant& M1,
                     const Variant& M2);
  Variant DatabaseMenu();
  Variant ALLPagesBegin();
  Variant ALLPagesEnd();
  Variant Search(const Variant& GTName);
  Variant Info(const Variant& GTName, const Variant& RecordId);
  Variant Add(const Variant& GtTable);
  Variant Update(const Variant& GtTable, const Variant& RecordId);
  Variant Action(const Variant& GtTable, const Variant& ActionNo);

  // --- Shared plumbing for the method files (not members of the interface) ---

  // How the current table's rows are addressed; set with IdField by
  // GetTableSpesific.
  RowKey CurrentRowKey;
  // The primary key columns of tables this object looked up (a relation's
  // related table), by the name the settings gave.
  std::map<std::string, std::vector<std::string>> KnownKeys;
  // Names that differ only in case: the database's tables and views, read
  // once per object, and the columns of each table asked about.
  std::optional<values::CaseTwins> TableTwins;
  std::map<std::string, values::CaseTwins> ColumnTwins;
  // Settings as this object last parsed them, each with the text it came
  // from (setting_memos.h).
  SettingMemos Memos;

  // Whether another table or view differs from `table` only in case.
  bool TableHasCaseTwin(const std::string& table);
  // Whether another column of `table` differs from `field` only in case.
  bool FieldHasCaseTwin(const std::string& table, const std::string& field);
  // Whether the configured table name `entry` names `table`, and the
  // configured "table.field" `entry` the field `field` of `table`: ignoring
  // case, or by the exact spelling where either name has a case twin.
  bool NamesTable(std::string_view entry, const std::string& table);
  bool NamesField(std::string_view entry, const std::string& table, const std::string& field);
  // What session keys built from a table name ("code_", "FL_") take of it.
  std::string TableKey(const std::string& table);
  // The table code the menu recorded for `table`.
  Variant TableCode(const Variant& table);
  // The per-table setting "set_" + table + suffix ("_list"); for a table
  // with a case twin, only one stored under the table's exact spelling.
  Variant TableSetting(const std::string& table, std::string_view suffix);
  // The request item prefix + field + suffix of a current-table field
  // ("Checked_" + name, name + "_d"); for a field with a case twin, only
  // an item of that exact spelling.
  Variant FieldItem(std::string_view prefix, const std::string& field,
                    std::string_view suffix = "");

  // The intrinsics; each raises 424 while its member is not assigned.
  tabrix::Session& SessionObject() const;
  tabrix::Request& RequestObject() const;
  tabrix::Response& ResponseObject() const;
  tabrix::Server& ServerObject() const;

  // A session setting: the Session's value under `key` (Empty if never
  // stored).
  Variant Setting(std::string_view key) const;
  // A request item by name (query string, then form), ignoring case unless
  // `exact`. Raises 5, naming the item, when its text holds a NUL byte: SQL
  // text and file paths would end there, so such a value never reaches
  // either.
  Variant Param(std::string_view name, bool exact = false) const;
  // Writes text through Yaz.
  void Write(std::string_view text);
  // A new recordset made through the Server object.
  std::shared_ptr<adodb::Recordset> NewRecordset() const;
  // A connection made through the Server object and opened on "set_dns",
  // for the schema questions the pages ask.
  std::shared_ptr<adodb::Connection> OpenSiteConnection() const;
  // Opens `rs` on `sql` with the connection string of "set_dns" and the
  // given cursor and lock types (3/1 read, 1/3 write).
  void OpenRecordset(adodb::Recordset& rs, const std::string& sql, long cursor_type = 3,
                     long lock_type = 1) const;
  // A new Scripting.Dictionary made through the Server object.
  std::shared_ptr<scripting::Dictionary> NewDictionary() const;
  // Stores the page's own address ("SCRIPT_NAME?QUERY_STRING") in the
  // session under "lastpage", then copies it under `copy_key` ("lastsearch",
  // "lastinfo") for the hosting pages.
  void RememberPageAddress(std::string_view copy_key);
};

}  // namespace tabrix
