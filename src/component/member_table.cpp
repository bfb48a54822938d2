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
    TABRIX_METHOD(17, Replacetext),
    TABRIX_METHOD(22, CaptionGetir),
    TABRIX_METHOD(39, Yaz),
    TABRIX_METHOD(41, CaptionDuzelt),
    TABRIX_METHOD(42, FieldCaption),
    TABRIX_METHOD(43, IntToBin),
    TABRIX_METHOD(44, CanDbUpdate),
    TABRIX_METHOD(45, CanUpdate),
    TABRIX_METHOD(46, CanAdd),
    TABRIX_METHOD(47, GetThis),
    TABRIX_METHOD(51, GetBols),
    TABRIX_METHOD(54, szEncryptDecrypt),
    TABRIX_METHOD(55, EnCr),
    TABRIX_METHOD(58, CaptionInclude),
    TABRIX_METHOD(59, Class_Initialize),
    TABRIX_METHOD(62, ALLPagesBegin),
    TABRIX_METHOD(63, ALLPagesEnd),
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
