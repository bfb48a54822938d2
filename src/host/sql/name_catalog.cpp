#include "host/sql/name_catalog.h"

#include <algorithm>

#include "host/text/case_fold.h"
#include "host/text/utf8.h"

namespace tabrix::sql {

std::string NameCatalog::Fold(std::string_view name) {
  return text::Encode(text::FoldedCodePoints(name));
}

void NameCatalog::AddSpelling(std::string_view name) {
  std::vector<std::string>& spellings = spellings_[Fold(name)];
  if (std::find(spellings.begin(), spellings.end(), name) == spellings.end())
    spellings.emplace_back(name);
}

void NameCatalog::AddTable(std::string_view table) {
  AddSpelling(table);
  tables_.insert(Fold(table));
}

void NameCatalog::AddSchema(std::string_view schema) { AddSpelling(schema); }

void NameCatalog::AddColumn(std::string_view table, std::string_view column, bool boolean) {
  AddSpelling(column);
  if (boolean) boolean_columns_.emplace(Fold(table), Fold(column));
}

std::optional<std::string> NameCatalog::Resolve(std::string_view name) const {
  auto it = spellings_.find(Fold(name));
  if (it == spellings_.end()) return std::nullopt;
  const std::vector<std::string>& spellings = it->second;
  for (const std::string& spelling : spellings)
    if (spelling == name) return spelling;
  std::string lower(name);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (const std::string& spelling : spellings)
    if (spelling == lower) return spelling;
  return spellings.front();
}

bool NameCatalog::IsTable(std::string_view name) const { return tables_.count(Fold(name)) > 0; }

bool NameCatalog::IsBooleanIn(std::string_view column, const std::set<std::string>& tables) const {
  std::string folded = Fold(column);
  for (const std::string& table : tables)
    if (boolean_columns_.count({table, folded}) > 0) return true;
  return false;
}

}  // namespace tabrix::sql
