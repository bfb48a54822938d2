#include "host/scripting/dictionary.h"

#include "host/variant_ops.h"

namespace tabrix::scripting {

namespace {

// Whether two keys are one key: numbers (and dates, Booleans) by value,
// text exactly, objects by identity; Empty matches only Empty.
bool SameKey(const Variant& a, const Variant& b) {
  if (a.IsNumericType() && b.IsNumericType()) return ToDouble(a) == ToDouble(b);
  if (a.IsString() && b.IsString()) return a.string() == b.string();
  if (a.IsObject() && b.IsObject()) return a.object() == b.object();
  return a.type() == b.type() && (a.IsEmpty() || a.IsNull());
}

}  // namespace

long Dictionary::Find(const Variant& key) const {
  for (size_t i = 0; i < keys_.size(); ++i)
    if (SameKey(keys_[i], key)) return static_cast<long>(i);
  return -1;
}

void Dictionary::Add(const Variant& key, const Variant& item) {
  if (key.IsArray()) RaiseError(kErrTypeMismatch, "a dictionary key cannot be an array");
  if (Find(key) >= 0) RaiseError(kErrKeyExists);
  keys_.push_back(key);
  items_.push_back(item);
}

bool Dictionary::Exists(const Variant& key) const { return Find(key) >= 0; }

Variant Dictionary::Item(const Variant& key) {
  long i = Find(key);
  if (i >= 0) return items_[i];
  Add(key, Variant());
  return Variant();
}

Variant Dictionary::Get(const Variant& key) const {
  long i = Find(key);
  return i >= 0 ? items_[i] : Variant();
}

void Dictionary::SetItem(const Variant& key, const Variant& item) {
  long i = Find(key);
  if (i >= 0)
    items_[i] = item;
  else
    Add(key, item);
}

void Dictionary::Remove(const Variant& key) {
  long i = Find(key);
  if (i < 0) throw ScriptError(32811, "Element not found");
  keys_.erase(keys_.begin() + i);
  items_.erase(items_.begin() + i);
}

void Dictionary::RemoveAll() {
  keys_.clear();
  items_.clear();
}

}  // namespace tabrix::scripting
