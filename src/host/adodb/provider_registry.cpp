#include "host/adodb/provider_registry.h"

#include "host/adodb/postgres/pg_provider.h"
#include "host/adodb/sqlite/sqlite_provider.h"
#include "host/locale/locale.h"

namespace tabrix::adodb {

std::shared_ptr<const ProviderRegistry> ProviderRegistry::BuiltIn() {
  // Listed here rather than self-registered: a static library drops
  // registration objects that nothing references.
  static const std::shared_ptr<const ProviderRegistry> built_in = [] {
    auto registry = std::make_shared<ProviderRegistry>();
    registry->Add(std::make_shared<sqlite::SqliteProvider>());
    registry->Add(std::make_shared<postgres::PostgresProvider>());
    return registry;
  }();
  return built_in;
}

void ProviderRegistry::Add(std::shared_ptr<const Provider> provider) {
  providers_.push_back(std::move(provider));
}

const Provider& ProviderRegistry::Find(std::string_view name) const {
  for (auto it = providers_.rbegin(); it != providers_.rend(); ++it)
    if (EqualsIgnoreCase((*it)->Name(), name)) return **it;
  RaiseError(kErrProviderNotFound, "'" + std::string(name) + "'");
}

}  // namespace tabrix::adodb
