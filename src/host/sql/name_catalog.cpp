#include "host/sql/name_catalog.h"

#include <algorithm>

#include "host/text/case_fold.h"
#include "host/text/utf8.h"

namespace tabrix::sql {

namespace {

void AddTo(std::unordered_map<std::string, std::vector<std::string>>& spellings,
           std::string_view name) {
  std::vector<std::string>& same = spellings[NameCatalog::Fold(name)];
  if (std::find(same.begin(), same.end(), name) == same.end()) same.emplace_back(name);
}

}  // namespace

std::string NameCatalog::Fold(std::string_view name) {
  return text::Encode(text::FoldedCodePoints(name));
}

std::optional<std::string> NameCatalog::Pick(const Spellings& spellings, std::string_view name) {
  auto it = spellings.find(Fold(name));
  if (it == spellings.end()) return std::nullopt;
  const std::vector<std::string>& same = it->second;
  for (const std::string& spelling : same)
    if (spelling == name) return spelling;
  // Letter case is ignored only where that leaves one name.
  if (same.size() == 1) return same.front();
  return std::nullopt;
}

void NameCatalog::AddTable(std::string_view table) {
  AddTo(spellings_, table);
  AddTo(tables_, table);
  columns_.try_emplace(std::string(table));
}

void NameCatalog::AddSchema(std::string_view schema) { AddTo(spellings_, schema); }

void NameCatalog::AddColumn(std::string_view table, std::string_view column, ColumnKind kind) {
  AddTable(table);
  AddTo(spellings_, column);
  Columns& columns = columns_[std::string(table)];
  AddTo(columns.spellings, column);
  columns.kinds[std::string(column)] = kind;
}

std::optional<std::string> NameCatalog::Resolve(std::string_view name) const {
  return Pick(spellings_, name);
}

std::optional<std::string> NameCatalog::ResolveTable(std::string_view name) const {
  return Pick(tables_, name);
}

std::optional<ColumnKind> NameCatalog::KindIn(std::string_view column,
                                              const std::vector<std::string>& tables) const {
  for (const std::string& table : tables) {
    auto it = columns_.find(table);
    if (it == columns_.end()) continue;
    if (std::optional<std::string> spelling = Pick(it->second.spellings, column))
      return it->second.kinds.at(*spelling);
  }
  return std::nullopt;
}

}  // namespace tabrix::sql
