// Session: the values one user's visit keeps between requests.
//
// Keys ignore letter case (folded without a locale) and keep the case of
// their first store; entries keep the order of their first store. A key never
// stored reads Empty and is told apart from one holding "" by Contains().
// Values may be object references (the field list cache stores dictionaries).
// A Session is used by one request at a time; SessionStore (site/) serialises
// the requests of one session.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/object.h"
#include "host/variant.h"

namespace tabrix {

class Session : public Object {
 public:
  std::string_view ClassName() const override { return "Session"; }

  // The value under `key`, Empty when it was never stored.
  Variant Value(std::string_view key) const;
  // Stores `value` under `key`; a new key keeps the case given here.
  void SetValue(std::string_view key, Variant value);
  // Whether `key` was ever stored (and not removed).
  bool Contains(std::string_view key) const;
  // The spelling `key` was first stored under; "" when it is not stored.
  std::string StoredKey(std::string_view key) const;
  void Remove(std::string_view key);

  // Every stored entry, keys in the case of their first store, in the order
  // of their first store.
  std::vector<std::pair<std::string, Variant>> Entries() const;

 private:
  struct Entry {
    std::string key;
    Variant value;
    bool removed = false;
  };
  std::vector<Entry> entries_;
  std::unordered_map<std::string, size_t> index_;  // folded key -> entries_
};

}  // namespace tabrix
