// The component's interface by name: its members in slot order.
//
// Tools and the hosting pages call the component late-bound, by member name
// with Variant arguments. The table lists each member with its slot, whether
// it is a property, how many arguments it takes and their names. Names
// match ignoring letter case. An unknown name raises 438, a wrong argument
// count 450.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "component/tabrix1.h"

namespace tabrix {

struct MemberInfo {
  int slot;
  std::string_view name;
  bool is_property;
  int arity;  // arguments of a method; a property takes none (read) or one (write)
  // The method's parameter names in order, joined by ","; "" for a property
  // and for a method without parameters.
  std::string_view parameters;
  Variant (*invoke)(Tabrix1& object, std::vector<Variant>& args);
};

// Every member built, in slot order.
std::span<const MemberInfo> Members();
// The member called `name` (any letter case), or nullptr.
const MemberInfo* FindMember(std::string_view name);
// Calls `name` on `object`. Arguments are passed by reference: a method that
// fills its arguments leaves them filled in `args`.
Variant CallMember(Tabrix1& object, std::string_view name, std::vector<Variant>& args);

}  // namespace tabrix
