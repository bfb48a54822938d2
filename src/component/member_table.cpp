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

#define TABRIX_PROPERTY(slot, name) {slot, #name, true, 0, &AccessProperty<&Tabrix1::name>}
#define TABRIX_METHOD(slot, name) \
  {slot, #name, false, MethodArity<decltype(&Tabrix1::name)>::value, &InvokeMethod<&Tabrix1::name>}

// One line per member, in slot order; each is added when it is built.
const MemberInfo kMembers[] = {
    TABRIX_PROPERTY(1, UserLogin),
    TABRIX_PROPERTY(2, session),
    TABRIX_PROPERTY(3, Request),
    TABRIX_PROPERTY(4, Response),
    TABRIX_PROPERTY(5, Server),
    TABRIX_PROPERTY(6, LeftMenuStr),
    TABRIX_METHOD(9, GetTableSpesific),
    TABRIX_METHOD(11, YetkiKontrol),
    TABRIX_METHOD(12, YetkiKontrolField),
    TABRIX_METHOD(13, YetkiKontrolStr),
    TABRIX_METHOD(14, IcindeVarmi),
    TABRIX_METHOD(15, GetFieldList),
    TABRIX_METHOD(16, GetFieldType),
    TABRIX_METHOD(17, Replacetext),
    TABRIX_METHOD(18, TabloFieldsDoldur),
    TABRIX_METHOD(20, SQLTarih),
    TABRIX_METHOD(21, ShowField),
    TABRIX_METHOD(22, CaptionGetir),
    TABRIX_METHOD(23, SqlSonuc),
    TABRIX_METHOD(24, SqlSonucDns),
    TABRIX_METHOD(25, FiyatYaz),
    TABRIX_METHOD(26, InputKoyF),
    TABRIX_METHOD(27, InputKoy),
    TABRIX_METHOD(28, DateSelectKoy),
    TABRIX_METHOD(29, CheckStr),
    TABRIX_METHOD(30, IfNull),
    TABRIX_METHOD(31, CheckNum),
    TABRIX_METHOD(32, RoundNull),
    TABRIX_METHOD(33, FiyatGoster),
    TABRIX_METHOD(34, TarihYaz),
    TABRIX_METHOD(35, TarihYazB),
    TABRIX_METHOD(36, TarihYazK),
    TABRIX_METHOD(37, IkiliYaz),
    TABRIX_METHOD(38, GetFile),
    TABRIX_METHOD(39, Yaz),
    TABRIX_METHOD(40, GeneratePinCode),
    TABRIX_METHOD(41, CaptionDuzelt),
    TABRIX_METHOD(42, FieldCaption),
    TABRIX_METHOD(43, IntToBin),
    TABRIX_METHOD(44, CanDbUpdate),
    TABRIX_METHOD(45, CanUpdate),
    TABRIX_METHOD(46, CanAdd),
    TABRIX_METHOD(47, GetThis),
    TABRIX_METHOD(48, ActionThis),
    TABRIX_METHOD(49, ActionName),
    TABRIX_METHOD(50, SelectFieldList),
    TABRIX_METHOD(51, GetBols),
    TABRIX_METHOD(52, CheckRelation),
    TABRIX_METHOD(53, GetRelation),
    TABRIX_METHOD(54, szEncryptDecrypt),
    TABRIX_METHOD(55, EnCr),
    TABRIX_METHOD(56, RsValue),
    TABRIX_METHOD(57, IdSQL),
    TABRIX_METHOD(58, CaptionInclude),
    TABRIX_METHOD(59, Class_Initialize),
    TABRIX_METHOD(60, CheckLogin),
    TABRIX_METHOD(61, DatabaseMenu),
    TABRIX_METHOD(62, ALLPagesBegin),
    TABRIX_METHOD(63, ALLPagesEnd),
    TABRIX_METHOD(64, Search),
    TABRIX_METHOD(65, Info),
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
