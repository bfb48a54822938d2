#include "host/session.h"

#include "host/locale/locale.h"

namespace tabrix {

Variant Session::Value(std::string_view key) const {
  auto it = index_.find(FoldCase(key));
  if (it == index_.end() || entries_[it->second].removed) return Variant();
  return entries_[it->second].value;
}

void Session::SetValue(std::string_view key, Variant value) {
  std::string folded = FoldCase(key);
  auto it = index_.find(folded);
  if (it != index_.end()) {
    Entry& e = entries_[it->second];
    if (e.removed) {
      // A removed key stored again is a new store: it takes the new case and
      // goes to the end of the order.
      e.value = Variant();
      entries_.push_back(Entry{std::string(key), std::move(value)});
      it->second = entries_.size() - 1;
      return;
    }
    e.value = std::move(value);
    return;
  }
  entries_.push_back(Entry{std::string(key), std::move(value)});
  index_.emplace(std::move(folded), entries_.size() - 1);
}

bool Session::Contains(std::string_view key) const {
  auto it = index_.find(FoldCase(key));
  return it != index_.end() && !entries_[it->second].removed;
}

std::string Session::StoredKey(std::string_view key) const {
  auto it = index_.find(FoldCase(key));
  if (it == index_.end() || entries_[it->second].removed) return "";
  return entries_[it->second].key;
}

void Session::Remove(std::string_view key) {
  auto it = index_.find(FoldCase(key));
  if (it == index_.end()) return;
  entries_[it->second].removed = true;
  entries_[it->second].value = Variant();
}

std::vector<std::pair<std::string, Variant>> Session::Entries() const {
  std::vector<std::pair<std::string, Variant>> out;
  for (const Entry& e : entries_)
    if (!e.removed) out.emplace_back(e.key, e.value);
  return out;
}

}  // namespace tabrix
