#include "host/session.h"

#include "host/locale/locale.h"

namespace tabrix {

const Session::OwnEntry* Session::Own(std::string_view key) const {
  auto it = index_.find(FoldCase(key));
  return it == index_.end() ? nullptr : &entries_[it->second];
}

void Session::Append(OwnEntry entry, std::string folded) {
  entries_.push_back(std::move(entry));
  index_[std::move(folded)] = entries_.size() - 1;
}

void Session::Erase(size_t position) {
  index_.erase(FoldCase(entries_[position].key));
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
  for (auto& [folded, at] : index_)
    if (at > position) --at;
}

Variant Session::Value(std::string_view key) const {
  if (const OwnEntry* own = Own(key)) return own->value;  // Empty when removed
  return site_ ? site_->Value(key) : Variant();
}

void Session::SetValue(std::string_view key, Variant value) {
  std::string folded = FoldCase(key);
  auto it = index_.find(folded);
  if (it != index_.end()) {
    OwnEntry& e = entries_[it->second];
    if (e.kind == OwnKind::kRemoved) {
      // A removed key stored again is a new store: it takes the new case and
      // goes to the end of the order.
      Erase(it->second);
      Append(OwnEntry{std::string(key), std::move(value), OwnKind::kAfterRemoval},
             std::move(folded));
      return;
    }
    e.value = std::move(value);
    return;
  }
  // Over a site key the first store was the site's: its spelling stays.
  std::string spelling = site_ ? site_->StoredKey(key) : std::string();
  Append(OwnEntry{spelling.empty() ? std::string(key) : std::move(spelling), std::move(value),
                  OwnKind::kValue},
         std::move(folded));
}

bool Session::Contains(std::string_view key) const {
  if (const OwnEntry* own = Own(key)) return own->kind != OwnKind::kRemoved;
  return site_ && site_->Contains(key);
}

std::string Session::StoredKey(std::string_view key) const {
  if (const OwnEntry* own = Own(key)) return own->kind == OwnKind::kRemoved ? "" : own->key;
  return site_ ? site_->StoredKey(key) : "";
}

void Session::Remove(std::string_view key) {
  std::string folded = FoldCase(key);
  auto it = index_.find(folded);
  bool in_site = site_ && site_->Contains(key);
  if (!in_site) {
    // Nothing under it to hide: the key simply goes.
    if (it != index_.end()) Erase(it->second);
    return;
  }
  if (it != index_.end()) {
    entries_[it->second].kind = OwnKind::kRemoved;
    entries_[it->second].value = Variant();
    return;
  }
  Append(OwnEntry{site_->StoredKey(key), Variant(), OwnKind::kRemoved}, std::move(folded));
}

std::vector<std::pair<std::string, Variant>> Session::Entries() const {
  std::vector<std::pair<std::string, Variant>> out;
  if (site_) {
    for (auto& [key, value] : site_->Entries()) {
      const OwnEntry* own = Own(key);
      if (own == nullptr) {
        out.emplace_back(std::move(key), std::move(value));
      } else if (own->kind == OwnKind::kValue) {
        out.emplace_back(own->key, own->value);
      }
    }
  }
  for (const OwnEntry& e : entries_) {
    if (e.kind == OwnKind::kRemoved) continue;
    if (e.kind == OwnKind::kValue && site_ && site_->Contains(e.key)) continue;  // listed above
    out.emplace_back(e.key, e.value);
  }
  return out;
}

std::vector<Session::OwnEntry> Session::OwnEntries() const { return entries_; }

bool Session::Restore(OwnEntry entry) {
  std::string folded = FoldCase(entry.key);
  if (index_.contains(folded)) return false;
  if (entry.kind == OwnKind::kRemoved) entry.value = Variant();
  Append(std::move(entry), std::move(folded));
  return true;
}

void Session::Clear() {
  entries_.clear();
  index_.clear();
}

}  // namespace tabrix
