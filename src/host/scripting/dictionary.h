// Dictionary: the scripting runtime's ordered map of Variant keys.
//
// Keys match by value: numbers by numeric value (1 and 1.0 are one key),
// text exactly (binary comparison), dates by serial; a number and a text are
// different keys. Entries keep the order they were added in. Reading an
// absent key through Item() adds it with an Empty item, as the runtime does;
// Get() reads without adding. Used by one thread at a time.
#pragma once

#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/object.h"
#include "host/variant.h"

namespace tabrix::scripting {

class Dictionary : public Object {
 public:
  std::string_view ClassName() const override { return "Dictionary"; }

  // Raises 457 when the key is already present.
  void Add(const Variant& key, const Variant& item);
  long Count() const { return static_cast<long>(keys_.size()); }
  bool Exists(const Variant& key) const;
  // The item under `key`; an absent key is added with an Empty item.
  Variant Item(const Variant& key);
  // The item under `key`, Empty when absent; adds nothing.
  Variant Get(const Variant& key) const;
  // Sets or adds the item under `key`.
  void SetItem(const Variant& key, const Variant& item);
  // Raises 32811 when the key is absent.
  void Remove(const Variant& key);
  void RemoveAll();

  const std::vector<Variant>& Keys() const { return keys_; }
  const std::vector<Variant>& Items() const { return items_; }

 private:
  // Position of `key` in keys_, or -1.
  long Find(const Variant& key) const;
  std::vector<Variant> keys_;
  std::vector<Variant> items_;
};

}  // namespace tabrix::scripting
