#include "component/member_table.h"

#include <utility>

#include "host/locale/locale.h"

namespace tabrix {

namespace {

template <class T>
struct MethodArity;
template <class R, class... A>
struct MethodArity<R (Tabrix1::*)(A...)> {
  static constexpr int value = sizeof...(A);
};

template <auto Method>
Variant InvokeMethod(Tabrix1& object, std::vector<Variant>& args) {
  constexpr int n = MethodArity<decltype(Method)>::value;
  return [&]<size_t... I>(std::index_sequence<I...>) -> Variant {
    if constexpr (std::is_void_v<decltype((object.*Method)(args[I]...))>) {
      (object.*Method)(args[I]...);
      return Variant();
    } else {
      return (object.*Method)(args[I]...);
    }
  }(std::make_index_sequence<n>{});
}

template <Variant Tabrix1::*Field>
Variant AccessProperty(Tabrix1& object, std::vector<Variant>& args) {
  if (args.empty()) return object.*Field;
  object.*Field = args[0];
  return Variant();
}

// `names` (the parameter names joined by ",") checked against the method's
// own arguments at compile time: a list of another length does not build.
consteval std::string_view Parameters(std::string_view names, int arity) {
  int count = names.empty() ? 0 : 1;
  for (char c : names)
    if (c == ',') ++count;
  if (count != arity) throw "the parameter names do not match the method's arguments";
  return names;
}

#define TABRIX_PROPERTY(slot, name) {slot, #name, true, 0, "", &AccessProperty<&Tabrix1::name>}
#define TABRIX_METHOD(slot, name, parameters)                             \
  {slot, #name, false, MethodArity<decltype(&Tabrix1::name)>::value,      \
   Parameters(parameters, MethodArity<decltype(&Tabrix1::name)>::value), \
   &InvokeMethod<&Tabrix1::name>}

// One line per member, in slot order, with its parameter names; each is
// added when it is built.
const MemberInfo kMembers[] = {
    TABRIX_PROPERTY(1, UserLogin),
    TABRIX_PROPERTY(2, session),
    TABRIX_PROPERTY(3, Request),
    TABRIX_PROPERTY(4, Response),
    TABRIX_PROPERTY(5, Server),
    TABRIX_PROPERTY(6, LeftMenuStr),
    TABRIX_METHOD(7, AddLink, "G1,G2,G3,G4"),
    TABRIX_METHOD(8, AddTable, "G1,G2,G3,G4,G5,G6,G7,G8,G9,G10"),
    TABRIX_METHOD(9, GetTableSpesific, "TabloName"),
    TABRIX_METHOD(10, TableProperties, "TabloName,PNo"),
    TABRIX_METHOD(11, YetkiKontrol, "TableName,Yetki"),
    TABRIX_METHOD(12, YetkiKontrolField, "TableName,FieldName,Yetki"),
    TABRIX_METHOD(13, YetkiKontrolStr,
                  "TableName,Yetki,CanTable,CantTable,CanAction,CantAction,CantField"),
    TABRIX_METHOD(14, IcindeVarmi, "Gelen1,Gelen2"),
    TABRIX_METHOD(15, GetFieldList, "TabloName"),
    TABRIX_METHOD(16, GetFieldType, "FName"),
    TABRIX_METHOD(17, Replacetext, "Gelen"),
    TABRIX_METHOD(18, TabloFieldsDoldur, "TabloName"),
    TABRIX_METHOD(19, AddField, "FName,FCaption,FType"),
    TABRIX_METHOD(20, SQLTarih, "BasName"),
    TABRIX_METHOD(21, ShowField, "FName,FValue,FNo"),
    TABRIX_METHOD(22, CaptionGetir, "cTableName,cId,cFieldName"),
    TABRIX_METHOD(23, SqlSonuc, "SqlStr,Tip"),
    TABRIX_METHOD(24, SqlSonucDns, "SqlStr,Tip,DnsT"),
    TABRIX_METHOD(25, FiyatYaz, "Gelen"),
    TABRIX_METHOD(26, InputKoyF, "FieldName,FieldType,Tip"),
    TABRIX_METHOD(27, InputKoy, "FNo,Tip"),
    TABRIX_METHOD(28, DateSelectKoy, "Name,Tip,D,M,Y,H,i"),
    TABRIX_METHOD(29, CheckStr, "Gelen"),
    TABRIX_METHOD(30, IfNull, "Gelen,Deger"),
    TABRIX_METHOD(31, CheckNum, "Gelen"),
    TABRIX_METHOD(32, RoundNull, "Gelen,par"),
    TABRIX_METHOD(33, FiyatGoster, "gelenq"),
    TABRIX_METHOD(34, TarihYaz, "Gelen"),
    TABRIX_METHOD(35, TarihYazB, "Gelen"),
    TABRIX_METHOD(36, TarihYazK, "Gelen"),
    TABRIX_METHOD(37, IkiliYaz, "gelenSayi"),
    TABRIX_METHOD(38, GetFile, "FileName"),
    TABRIX_METHOD(39, Yaz, "Gelen"),
    TABRIX_METHOD(40, GeneratePinCode, "Cn"),
    TABRIX_METHOD(41, CaptionDuzelt, "Name"),
    TABRIX_METHOD(42, FieldCaption, "Name"),
    TABRIX_METHOD(43, IntToBin, "IntegerNumber"),
    TABRIX_METHOD(44, CanDbUpdate, "rsf"),
    TABRIX_METHOD(45, CanUpdate, "rsf"),
    TABRIX_METHOD(46, CanAdd, "rsf"),
    TABRIX_METHOD(47, GetThis, "Ana,From,Bolum1,Bolum2"),
    TABRIX_METHOD(48, ActionThis, "Ano,TName"),
    TABRIX_METHOD(49, ActionName, "Ano"),
    TABRIX_METHOD(50, SelectFieldList, "TName"),
    TABRIX_METHOD(51, GetBols, "AnaStr,BolStr,Nom"),
    TABRIX_METHOD(52, CheckRelation, "TName,FName"),
    TABRIX_METHOD(53, GetRelation, "TName,FName"),
    TABRIX_METHOD(54, szEncryptDecrypt, "szData"),
    TABRIX_METHOD(55, EnCr, "szData"),
    TABRIX_METHOD(56, RsValue, "FName"),
    TABRIX_METHOD(57, IdSQL, "FValue"),
    TABRIX_METHOD(58, CaptionInclude, ""),
    TABRIX_METHOD(59, Class_Initialize, ""),
    TABRIX_METHOD(60, CheckLogin, "User,Pass,M1,M2"),
    TABRIX_METHOD(61, DatabaseMenu, ""),
    TABRIX_METHOD(62, ALLPagesBegin, ""),
    TABRIX_METHOD(63, ALLPagesEnd, ""),
    TABRIX_METHOD(64, Search, "GTName"),
    TABRIX_METHOD(65, Info, "GTName,RecordId"),
    TABRIX_METHOD(66, Add, "GtTable"),
    TABRIX_METHOD(67, Update, "GtTable,RecordId"),
    TABRIX_METHOD(68, Action, "GtTable,ActionNo"),
};

#undef TABRIX_PROPERTY
#undef TABRIX_METHOD

}  // namespace

std::span<const MemberInfo> Members() { return kMembers; }

const MemberInfo* FindMember(std::string_view name) {
  for (const MemberInfo& m : kMembers)
    if (EqualsIgnoreCase(m.name, name)) return &m;
  return nullptr;
}

Variant CallMember(Tabrix1& object, std::string_view name, std::vector<Variant>& args) {
  const MemberInfo* m = FindMember(name);
  if (m == nullptr) RaiseError(kErrNoSuchMember, std::string(name));
  bool count_ok = m->is_property ? args.size() <= 1 : static_cast<int>(args.size()) == m->arity;
  if (!count_ok) RaiseError(kErrWrongArgCount, std::string(m->name));
  return m->invoke(object, args);
}

}  // namespace tabrix
