// Session: the values one user's visit keeps between requests.
//
// Keys ignore letter case (folded without a locale) and keep the case of
// their first store; entries keep the order of their first store. A key never
// stored reads Empty and is told apart from one holding "" by Contains().
// Values may be object references (the field list cache stores dictionaries).
//
// A session may read through to the site's settings: one read-only Session
// shared by every session of the site. A session reads its own values first,
// then the site's, and keeps only what was set during it, so the settings
// (secrets among them) are never copied into it. Storing over a site key
// keeps the site's spelling and place, as if the site's settings had been
// stored first; removing a site key hides the site's value too.
//
// A Session is used by one request at a time; SessionStore (site/)
// serialises the requests of one session. The site's layer is never written,
// so any number of sessions may read it at once.
#pragma once

#include <memory>
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
  Session() = default;
  // A session over the site's settings `site` (may be null).
  explicit Session(std::shared_ptr<const Session> site) : site_(std::move(site)) {}

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
  // of their first store: the site's settings, then the session's own.
  std::vector<std::pair<std::string, Variant>> Entries() const;

  // What this session itself holds, as a store keeps it between requests.
  enum class OwnKind : unsigned char {
    kValue,          // stored during this session (over a site key: its spelling, its place)
    kAfterRemoval,   // stored again after the site's key was removed: its own spelling, last
    kRemoved,        // removed: hides the site's value
  };
  struct OwnEntry {
    std::string key;
    Variant value;  // Empty for kRemoved
    OwnKind kind = OwnKind::kValue;
  };
  // The session's own entries, in order.
  std::vector<OwnEntry> OwnEntries() const;
  // Appends an entry as OwnEntries gave it (a stored session read back);
  // false when the session holds `entry.key` already.
  bool Restore(OwnEntry entry);
  // Drops every value of the session's own; the site's show again.
  void Clear();

  const std::shared_ptr<const Session>& site() const { return site_; }

 private:
  // The own entry of `key`, or null.
  const OwnEntry* Own(std::string_view key) const;
  void Append(OwnEntry entry, std::string folded);
  void Erase(size_t position);

  std::vector<OwnEntry> entries_;
  std::unordered_map<std::string, size_t> index_;  // folded key -> entries_
  std::shared_ptr<const Session> site_;
};

}  // namespace tabrix
