// Settings lists read ignoring case ("set_replace", the permission lists):
// the text with its folded code points, so that a page folds each list once
// however many cells look something up in it.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tabrix::values {

// The text between the first `start` at or after code point `from`
// (1-based) of `text` and the next `end` after it, found ignoring case, as
// GetThis cuts it; "" when either is missing. `folded`, `start` and `end`
// are folded code points (of `text` and the two markers); the cut is taken
// from `text`.
std::string SectionIgnoringCase(std::string_view text, std::u32string_view folded,
                                std::u32string_view start, std::u32string_view end,
                                size_t from = 1);

// A list as a page reads it: `before` + the setting's text + `after`.
struct FoldedList {
  std::string text;
  std::u32string folded;
};

// The last few lists folded, each kept with the setting text it came from,
// so that a changed setting is folded afresh. Bounded: the oldest goes.
class FoldedLists {
 public:
  const FoldedList& Get(std::string_view before, std::string_view setting,
                        std::string_view after);

 private:
  struct Slot {
    std::string before, setting, after;
    FoldedList list;
    bool used = false;
  };
  static constexpr size_t kSlots = 8;
  std::array<Slot, kSlots> slots_;
  size_t next_ = 0;
};

}  // namespace tabrix::values
