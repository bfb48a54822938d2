#include "host/adodb/postgres/pg_catalog_cache.h"

#include <algorithm>
#include <tuple>

#include "host/adodb/postgres/pg_catalog.h"
#include "host/adodb/postgres/pg_connection.h"

namespace tabrix::adodb::postgres {

namespace {

std::vector<ListedTable> Sorted(std::vector<ListedTable> tables) {
  std::sort(tables.begin(), tables.end(), [](const ListedTable& a, const ListedTable& b) {
    return std::tie(a.oid, a.entry.name, a.entry.type) <
           std::tie(b.oid, b.entry.name, b.entry.type);
  });
  return tables;
}

}  // namespace

std::shared_ptr<CatalogCache> CatalogCache::For(const std::string& connection_string) {
  static std::mutex mutex;
  static std::map<std::string, std::weak_ptr<CatalogCache>> caches;
  std::lock_guard lock(mutex);
  for (auto it = caches.begin(); it != caches.end();)
    it = it->second.expired() ? caches.erase(it) : std::next(it);
  std::shared_ptr<CatalogCache> cache = caches[connection_string].lock();
  if (!cache) {
    cache = std::make_shared<CatalogCache>();
    caches[connection_string] = cache;
  }
  return cache;
}

void CatalogCache::ForgetLocked() {
  ++generation_;
  names_.reset();
  tables_.reset();
  found_.clear();
  relations_.clear();
}

void CatalogCache::Forget() {
  std::lock_guard lock(mutex_);
  ForgetLocked();
}

std::shared_ptr<const sql::NameCatalog> CatalogCache::Names(PostgresConnection& db) {
  {
    std::lock_guard lock(mutex_);
    if (names_) return names_;
  }
  return ReloadNames(db);
}

std::shared_ptr<const sql::NameCatalog> CatalogCache::ReloadNames(PostgresConnection& db) {
  std::uint64_t generation;
  {
    std::lock_guard lock(mutex_);
    generation = generation_;
  }
  auto names = std::make_shared<const sql::NameCatalog>(ReadNames(db));
  std::lock_guard lock(mutex_);
  if (generation != generation_) return names;  // forgotten meanwhile: used once, not kept
  // Without names to compare with, what else is kept may be older.
  if (!names_ || !(*names_ == *names)) ForgetLocked();
  names_ = names;
  return names;
}

std::vector<TableEntry> CatalogCache::Tables(PostgresConnection& db) {
  std::vector<ListedTable> listed = ListTables(db);
  std::vector<TableEntry> tables;
  tables.reserve(listed.size());
  for (const ListedTable& table : listed) tables.push_back(table.entry);
  std::vector<ListedTable> sorted = Sorted(std::move(listed));
  std::lock_guard lock(mutex_);
  if (tables_ && *tables_ != sorted) ForgetLocked();
  tables_ = std::move(sorted);
  return tables;
}

Oid CatalogCache::Find(PostgresConnection& db, const TableRef& table) {
  auto key = std::make_pair(table.schema, table.name);
  std::uint64_t generation;
  {
    std::lock_guard lock(mutex_);
    auto it = found_.find(key);
    if (it != found_.end()) return it->second;
    generation = generation_;
  }
  Oid oid = FindRelation(db, table);
  std::lock_guard lock(mutex_);
  if (oid != InvalidOid && generation == generation_) found_[key] = oid;
  return oid;
}

std::shared_ptr<const Relation> CatalogCache::Describe(PostgresConnection& db, Oid oid) {
  std::uint64_t generation;
  {
    std::lock_guard lock(mutex_);
    auto it = relations_.find(oid);
    if (it != relations_.end()) return it->second;
    generation = generation_;
  }
  auto relation = std::make_shared<const Relation>(ReadRelation(db, oid));
  std::lock_guard lock(mutex_);
  if (relation->info.exists && generation == generation_) relations_[oid] = relation;
  return relation;
}

}  // namespace tabrix::adodb::postgres
