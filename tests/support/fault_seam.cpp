#include "support/fault_seam.h"

#include "host/adodb/postgres/pg_provider.h"
#include "host/adodb/sqlite/sqlite_provider.h"

namespace tabrix::testing {

namespace {

std::shared_ptr<const adodb::ProviderRegistry> FaultyRegistry(
    const std::shared_ptr<adodb::FaultPlan>& plan) {
  auto registry = std::make_shared<adodb::ProviderRegistry>();
  registry->Add(std::make_shared<adodb::FaultInjectingProvider>(
      std::make_shared<adodb::sqlite::SqliteProvider>(), plan));
  registry->Add(std::make_shared<adodb::FaultInjectingProvider>(
      std::make_shared<adodb::postgres::PostgresProvider>(), plan));
  return registry;
}

}  // namespace

FaultSeam::FaultSeam()
    : plan_(std::make_shared<adodb::FaultPlan>()), pool_(FaultyRegistry(plan_)), scope_(pool_) {}

FaultSeam::~FaultSeam() = default;

}  // namespace tabrix::testing
