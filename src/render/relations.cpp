// Relations: a field that holds the key of a row in another table, as the
// numbered "set_relation" settings describe it ("Orders.CustomerId,
// Customers,Id,Name,yes"), and the select list that brings each related
// row's caption along with the field.
#include <string>
#include <vector>

#include "component/numbered_settings.h"
#include "component/tabrix1.h"
#include "host/text/split.h"
#include "host/locale/locale.h"
#include "host/scripting/dictionary.h"
#include "host/sql/legacy_names.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

constexpr std::string_view kRelationPrefix = "set_relation";

}  // namespace

Variant Tabrix1::GetRelation(const Variant& TName, const Variant& FName) {
  // Null names match no entry (their lower-case forms are Null), but every
  // entry the scan reaches is still read and must be well formed.
  bool comparable = !TName.IsNull() && !FName.IsNull();
  std::string table = ConcatText(TName);
  std::string field = ConcatText(FName);
  // While the settings are held still, a field's entry is looked for once.
  const bool hold = Memos.held != 0 && comparable;
  if (hold) {
    for (const HeldRelation& known : Memos.relations)
      if (known.field == field && known.table == table) return Variant(known.number);
  }
  long found = 0;
  for (long n = 1; n <= kMaxNumberedEntry; ++n) {
    NumberedEntryMemo* entry = FindEntry(*this, kRelationPrefix, n);
    if (entry == nullptr) break;
    const std::vector<std::string>& parts = DottedFirstPosition(*entry, "referring field");
    if (parts.size() < 2)
      RaiseError(kErrSubscript, entry->key + " has no \".\" in its referring field");
    const std::string& related = RequirePosition(entry->positions, 1, entry->key, "related table");

    // A relation never applies to a field of its own related table.
    bool applies = comparable && !NamesTable(related, table) &&
                   NamesField((parts[0] == "*" ? table : parts[0]) + "." + parts[1], table, field);
    if (applies) {
      found = n;
      break;
    }
  }
  if (hold && Memos.relations.size() < SettingMemos::kMaxHeldAnswers)
    Memos.relations.push_back(HeldRelation{table, field, found});
  return Variant(found);
}

Variant Tabrix1::CheckRelation(const Variant& TName, const Variant& FName) {
  std::string field = ConcatText(FName);
  std::string item = sql::BracketedName(field);
  long n = static_cast<long>(ToLong(GetRelation(TName, FName)));
  if (n > 0) {
    const NumberedEntryMemo& entry = ReadEntry(*this, kRelationPrefix, n);
    const std::string& key = entry.key;
    const std::vector<std::string>& positions = entry.positions;
    const std::string& related = RequirePosition(positions, 1, key, "related table");
    const std::string& key_field = RequirePosition(positions, 2, key, "key field");
    const std::string& caption = RequirePosition(positions, 3, key, "caption field");
    // The caption and key fields are the site's own settings and stand as
    // configured; schema names are bracketed where they need it.
    item += ", (Select " + caption + " from " + sql::BracketedName(related) + " where " +
            key_field + "=" + sql::BracketedName(ConcatText(TName)) + "." +
            sql::LegacyName(field) + ") as " + sql::LegacyName(field + "_caption");
  }
  return Variant(item);
}

Variant Tabrix1::SelectFieldList(const Variant& TName) {
  std::string list;
  double count = ToDouble(FieldCount);
  if (count < 1) return Variant(list);
  auto& names = ObjectAs<scripting::Dictionary>(FieldNames);
  for (long i = 1; i <= count; ++i) {
    if (!list.empty()) list += ",";
    list += ConcatText(CheckRelation(TName, names.Get(Variant(i))));
  }
  return Variant(list);
}

}  // namespace tabrix
