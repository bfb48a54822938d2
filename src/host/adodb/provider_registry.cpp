#include "host/adodb/provider_registry.h"

#include "host/adodb/sqlite/sqlite_provider.h"
#include "host/locale/locale.h"

namespace tabrix::adodb {

const Provider& FindProvider(std::string_view name) {
  // Listed here rather than self-registered: a static library drops
  // registration objects that nothing references.
  static const sqlite::SqliteProvider sqlite_provider;
  static const Provider* const kProviders[] = {&sqlite_provider};
  for (const Provider* provider : kProviders)
    if (EqualsIgnoreCase(provider->Name(), name)) return *provider;
  RaiseError(kErrProviderNotFound, "'" + std::string(name) + "'");
}

}  // namespace tabrix::adodb
