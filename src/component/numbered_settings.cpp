#include "component/numbered_settings.h"

#include "host/error.h"
#include "host/text/split.h"
#include "host/variant_ops.h"

namespace tabrix {

std::string EntryKey(std::string_view prefix, long n) {
  return std::string(prefix) + std::to_string(n);
}

bool EntryExists(const Tabrix1& object, std::string_view prefix, long n) {
  return object.SessionObject().Contains(EntryKey(prefix, n));
}

std::vector<std::string> EntryPositions(const Tabrix1& object, std::string_view prefix, long n) {
  std::string key = EntryKey(prefix, n);
  Variant value = object.Setting(key);
  if (value.IsNull()) RaiseError(kErrInvalidNull, key + " holds Null");
  return text::Split(ToText(value), ",");
}

namespace {

NumberedEntryMemo& MemoOf(Tabrix1& object, std::string_view prefix, long n) {
  std::deque<NumberedListMemo>& lists = object.Memos.numbered;
  auto list = lists.begin();
  while (list != lists.end() && list->prefix != prefix) ++list;
  if (list == lists.end()) {
    lists.emplace_back();
    lists.back().prefix = std::string(prefix);
    list = lists.end() - 1;
  }
  auto index = static_cast<size_t>(n - 1);
  while (list->entries.size() <= index) {
    list->entries.emplace_back();
    list->entries.back().key = EntryKey(prefix, static_cast<long>(list->entries.size()));
  }
  return list->entries[index];
}

// Splits `value` into `entry` unless it holds that text already.
NumberedEntryMemo& Parsed(NumberedEntryMemo& entry, const Variant& value) {
  if (value.IsNull()) RaiseError(kErrInvalidNull, entry.key + " holds Null");
  if (entry.parsed && value.IsString() && value.string() == entry.text) return entry;
  std::string text = ToText(value);
  if (entry.parsed && text == entry.text) return entry;
  entry.parsed = false;
  entry.positions = text::Split(text, ",");
  entry.text = std::move(text);
  entry.dotted.reset();
  entry.parsed = true;
  return entry;
}

}  // namespace

NumberedEntryMemo* FindEntry(Tabrix1& object, std::string_view prefix, long n) {
  NumberedEntryMemo& entry = MemoOf(object, prefix, n);
  const unsigned long held = object.Memos.held;
  if (held != 0 && entry.seen == held) return entry.exists ? &entry : nullptr;
  // A value that is not Empty was stored; only an Empty one needs asking.
  Variant value = object.Setting(entry.key);
  entry.seen = 0;
  if (value.IsEmpty() && !object.SessionObject().Contains(entry.key)) {
    entry.exists = false;
  } else {
    Parsed(entry, value);
    entry.exists = true;
  }
  entry.seen = held;
  return entry.exists ? &entry : nullptr;
}

NumberedEntryMemo& ReadEntry(Tabrix1& object, std::string_view prefix, long n) {
  NumberedEntryMemo& entry = MemoOf(object, prefix, n);
  const unsigned long held = object.Memos.held;
  if (held != 0 && entry.seen == held && entry.exists) return entry;
  entry.seen = 0;
  return Parsed(entry, object.Setting(entry.key));
}

const std::vector<std::string>& DottedFirstPosition(NumberedEntryMemo& entry,
                                                    std::string_view what) {
  const std::string& first = RequirePosition(entry.positions, 0, entry.key, what);
  if (!entry.dotted) entry.dotted = text::Split(first, ".");
  return *entry.dotted;
}

const std::string& RequirePosition(const std::vector<std::string>& positions, size_t index,
                                   const std::string& key, std::string_view what) {
  if (index >= positions.size())
    RaiseError(kErrSubscript, key + " has no " + std::string(what));
  return positions[index];
}

}  // namespace tabrix
