#include "values/folded_lists.h"

#include "host/text/case_fold.h"
#include "host/text/utf8.h"

namespace tabrix::values {

std::string SectionIgnoringCase(std::string_view text, std::u32string_view folded,
                                std::u32string_view start, std::u32string_view end,
                                size_t from) {
  if (folded.empty()) return "";
  size_t p1 = text::InStr(from, folded, start);
  if (p1 == 0) return "";
  size_t body = p1 + start.size();
  size_t p2 = text::InStr(body, folded, end);
  if (p2 <= p1) return "";
  return text::Mid(text, body - 1, p2 - body);
}

const FoldedList& FoldedLists::Get(std::string_view before, std::string_view setting,
                                   std::string_view after) {
  for (const Slot& slot : slots_) {
    if (slot.used && slot.setting == setting && slot.before == before && slot.after == after)
      return slot.list;
  }
  Slot& slot = slots_[next_];
  next_ = (next_ + 1) % kSlots;
  slot.before.assign(before);
  slot.setting.assign(setting);
  slot.after.assign(after);
  slot.list.text.assign(before);
  slot.list.text.append(setting);
  slot.list.text.append(after);
  slot.list.folded = text::FoldedCodePoints(slot.list.text);
  slot.used = true;
  return slot.list;
}

}  // namespace tabrix::values
