// Object: the base of every host object a Variant can reference.
//
// Objects are shared by reference (a session can hold a dictionary that a
// member also holds) and live as long as the last reference. Code that needs
// a particular kind asks for it with ObjectAs<T>, which raises the runtime's
// "Object required" (424) for a non-object and 438 for an object of another
// kind, just as a late-bound call on the wrong object would fail.
#pragma once

#include <memory>
#include <string_view>

namespace tabrix {

class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;
  // The class name shown to tools ("Recordset", "Dictionary", ...).
  virtual std::string_view ClassName() const = 0;
};

using ObjectRef = std::shared_ptr<Object>;

}  // namespace tabrix
