#include "site/outline/foreign_key_relations.h"

#include <map>

#include "host/sql/legacy_names.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"

namespace tabrix::site {

namespace {

constexpr std::string_view kRelationPrefix = "set_relation";
// The look-up reads no entry past this number.
constexpr long kMaxEntry = 10000;

// Whether `name` can stand in a position of a comma-separated setting
// whose first position splits at ".".
bool FitsSetting(std::string_view name, bool dotted) {
  return !name.empty() && name.find(',') == std::string_view::npos &&
         (!dotted || name.find('.') == std::string_view::npos);
}

// The caption of `parent`: its first short text column that is neither in
// its key nor itself a reference to another table (an order is not named
// by its customer's code); the referred column when it has none.
std::string CaptionColumn(const DatabaseOutline& outline, const OutlineTable& parent,
                          const std::string& referred) {
  auto refers = [&](const std::string& column) {
    for (const OutlineForeignKey& key : outline.foreign_keys)
      if (key.table == parent.name)
        for (const auto& pair : key.columns)
          if (pair.first == column) return true;
    return false;
  };
  for (const OutlineColumn& column : parent.columns) {
    bool in_key = false;
    for (const std::string& key : parent.key) in_key = in_key || key == column.name;
    if (!in_key && column.name != referred && IsShortText(column.type) && !refers(column.name))
      return column.name;
  }
  return referred;
}

// The session value of `key` (ignoring case) among `session`; null when
// the key is not there. Later values win, as in the site's settings.
const Variant* SettingOf(const std::vector<std::pair<std::string, Variant>>& session,
                         std::string_view key) {
  const Variant* found = nullptr;
  for (const auto& [name, value] : session)
    if (EqualsIgnoreCase(name, key)) found = &value;
  return found;
}

std::string EntryKey(long n) { return std::string(kRelationPrefix) + std::to_string(n); }

}  // namespace

std::string DerivedRelation::Entry() const {
  return table + "." + field + "," + parent + "," + key + "," + caption + "," +
         (drop_down ? "yes" : "no");
}

DerivedRelations RelationsFromForeignKeys(
    const DatabaseOutline& outline,
    const std::function<std::int64_t(const std::string&, std::int64_t)>& parent_rows) {
  DerivedRelations derived;
  std::map<std::string, bool> small_parents;
  for (const OutlineForeignKey& key : outline.foreign_keys) {
    std::string named = ShownName(key.table) + " -> " + ShownName(key.parent) +
                        (key.name.empty() ? std::string() : " (" + ShownName(key.name) + ")");
    if (key.columns.size() != 1) {
      derived.notes.push_back("the foreign key " + named + " has " +
                              std::to_string(key.columns.size()) +
                              " columns: no relation (a relation holds one)");
      continue;
    }
    if (EqualsIgnoreCase(key.table, key.parent)) {
      derived.notes.push_back("the foreign key " + named +
                              " refers to its own table: no relation");
      continue;
    }
    const auto& [field, referred] = key.columns.front();
    const OutlineTable* parent = outline.Find(key.parent);
    if (parent == nullptr || !FitsSetting(key.table, true) || !FitsSetting(field, true) ||
        !FitsSetting(key.parent, false) || !FitsSetting(referred, false)) {
      derived.notes.push_back("the foreign key " + named +
                              " has a name with a comma or a dot: no relation");
      continue;
    }
    std::string caption = CaptionColumn(outline, *parent, referred);
    if (caption.find(',') != std::string::npos) caption = referred;
    auto small = small_parents.find(parent->name);
    if (small == small_parents.end())
      small = small_parents
                  .emplace(parent->name, parent_rows(parent->name, kMaxDropDownRows) <=
                                             kMaxDropDownRows)
                  .first;
    derived.relations.push_back({key.table, field, parent->name, sql::LegacyName(referred),
                                 sql::LegacyName(caption), small->second});
  }
  return derived;
}

bool RelationCovered(const std::vector<std::pair<std::string, Variant>>& session,
                     const std::string& table, const std::string& field) {
  for (long n = 1; n <= kMaxEntry; ++n) {
    const Variant* value = SettingOf(session, EntryKey(n));
    if (value == nullptr) break;
    std::string entry = ConcatText(*value);
    size_t comma = entry.find(',');
    if (comma == std::string::npos) continue;
    std::string referring = entry.substr(0, comma);
    std::string related = entry.substr(comma + 1, entry.find(',', comma + 1) - comma - 1);
    size_t dot = referring.find('.');
    if (dot == std::string::npos) continue;
    std::string table_part = referring.substr(0, dot);
    std::string field_part = referring.substr(dot + 1, referring.find('.', dot + 1) - dot - 1);
    if (EqualsIgnoreCase(field_part, field) && !EqualsIgnoreCase(related, table) &&
        (table_part == "*" || EqualsIgnoreCase(table_part, table)))
      return true;
  }
  return false;
}

std::size_t AddForeignKeyRelations(SiteConfig& config, const DerivedRelations& derived) {
  long next = 1;
  while (next <= kMaxEntry && SettingOf(config.session, EntryKey(next)) != nullptr) ++next;
  std::size_t added = 0;
  for (const DerivedRelation& relation : derived.relations) {
    if (next > kMaxEntry) break;
    if (RelationCovered(config.session, relation.table, relation.field)) continue;
    config.session.emplace_back(EntryKey(next), Variant(relation.Entry()));
    ++next;
    ++added;
  }
  return added;
}

ReferringKeys::ReferringKeys(const DerivedRelations& derived, const DatabaseOutline& outline) {
  for (const DerivedRelation& relation : derived.relations) {
    // The derived relation names the referred column as the setting holds
    // it; the key of the outline names it as the database does.
    for (const OutlineForeignKey& key : outline.foreign_keys)
      if (key.columns.size() == 1 && key.table == relation.table &&
          key.columns.front().first == relation.field && key.parent == relation.parent) {
        keys_.emplace_back(key.parent,
                           ReferringKey{key.table, key.columns.front().first,
                                        key.columns.front().second});
        break;
      }
  }
}

std::vector<ReferringKey> ReferringKeys::To(const std::string& table) const {
  std::vector<ReferringKey> found;
  for (const auto& [parent, key] : keys_)
    if (parent == table) found.push_back(key);
  if (found.empty())
    for (const auto& [parent, key] : keys_)
      if (EqualsIgnoreCase(parent, table)) found.push_back(key);
  return found;
}

}  // namespace tabrix::site
