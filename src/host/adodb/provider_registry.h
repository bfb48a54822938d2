// The providers the facade knows, found by the connection string's
// "Provider=" name ignoring case.
//
// The built-in registry holds SQLite. A test builds a registry of its own
// (a fault-injecting provider in front of SQLite, say) and hands it to a
// pool of its own (connection_pool.h), so nothing global needs changing. A
// registry is filled before it is shared and only read afterwards, so any
// thread may use it.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "host/adodb/backend.h"

namespace tabrix::adodb {

class ProviderRegistry {
 public:
  // The providers built into the program.
  static std::shared_ptr<const ProviderRegistry> BuiltIn();

  // Adds `provider`; it hides an earlier one of the same name.
  void Add(std::shared_ptr<const Provider> provider);
  // The provider named `name`; raises 3706 naming it when there is none.
  const Provider& Find(std::string_view name) const;

 private:
  std::vector<std::shared_ptr<const Provider>> providers_;  // the latest last
};

}  // namespace tabrix::adodb
