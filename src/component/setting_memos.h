// What one object parsed from the session settings, kept with the exact
// text it was parsed from: a later read that finds the same text reuses the
// parse, one that finds another text parses afresh. A page reads each
// setting for every cell it shows; the text it reads decides, never the
// memo, so a setting changed between two reads is seen at the second.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "values/folded_lists.h"

namespace tabrix {

// One entry of a numbered list ("set_relation3") as last parsed.
struct NumberedEntryMemo {
  std::string key;                 // "set_relation3"
  // The stretch of held settings (SettingMemos::held) in which the entry
  // was last read, and whether it existed then.
  unsigned long seen = 0;
  bool exists = false;
  bool parsed = false;
  std::string text;                // the text `positions` were split from
  std::vector<std::string> positions;
  // The first position split at ".", for the lists that name a
  // "table.field" there; made on first use after each parse.
  std::optional<std::vector<std::string>> dotted;
};

// The entries of one numbered list, by number (entry n at n - 1). Entries
// keep their place once made, so a reference to one stays valid.
struct NumberedListMemo {
  std::string prefix;
  std::deque<NumberedEntryMemo> entries;
};

// A permission answer given in the current stretch of held settings.
struct HeldRight {
  bool of_field;  // YetkiKontrolField, else YetkiKontrol
  std::string table, field, letter;
  bool granted;
};

// The relation entry GetRelation found for a field in the current stretch.
struct HeldRelation {
  std::string table, field;
  long number;
};

struct SettingMemos {
  values::FoldedLists lists;
  std::deque<NumberedListMemo> numbered;  // a few prefixes; entries keep their place

  // While a page writes its rows nothing changes the settings, so what was
  // read or worked out from them for one cell holds for the next. `held`
  // numbers the current such stretch (SettingsHeldStill), 0 outside one:
  // then every call reads the settings again.
  unsigned long held = 0;
  unsigned long stretches = 0;
  std::vector<HeldRight> rights;
  std::vector<HeldRelation> relations;
  // No stretch keeps more answers than this; past it, they are worked out
  // at each call.
  static constexpr size_t kMaxHeldAnswers = 512;
};

// A stretch of work in which nothing changes the session's settings (the
// rows of a page): entries and answers read in it are reused until it
// ends. The first read in a stretch is the one every call made before, so
// a malformed setting raises where it always did.
class SettingsHeldStill {
 public:
  explicit SettingsHeldStill(SettingMemos& memos) : memos_(memos), outer_(memos.held) {
    memos_.held = ++memos_.stretches;
    memos_.rights.clear();
    memos_.relations.clear();
  }
  ~SettingsHeldStill() {
    memos_.held = outer_;
    memos_.rights.clear();
    memos_.relations.clear();
  }
  SettingsHeldStill(const SettingsHeldStill&) = delete;
  SettingsHeldStill& operator=(const SettingsHeldStill&) = delete;

 private:
  SettingMemos& memos_;
  unsigned long outer_;
};

}  // namespace tabrix
