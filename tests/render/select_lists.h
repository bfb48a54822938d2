// Reads the drop-down lists of the date input back out of written HTML, so
// tests can state which options a list offers and which one is selected.
//
// The reader is strict: it accepts only `<select name="N" class="select">`
// openings, `<Option value="V">L</option>` options (optionally
// ` selected`) and `</select>` closings, and keeps every other text found
// between lists as that gap's text.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabrix::testing {

struct ListOption {
  std::string value;
  std::string label;
  bool selected = false;
};

struct SelectList {
  std::string name;
  std::vector<ListOption> options;

  // The value of the selected option, nullopt when none is (or when several
  // are, which a test then sees as a failure of its expectation).
  std::optional<std::string> Selected() const {
    std::optional<std::string> found;
    int count = 0;
    for (const ListOption& o : options)
      if (o.selected) {
        found = o.value;
        ++count;
      }
    return count == 1 ? found : std::nullopt;
  }
};

struct DateLists {
  std::vector<SelectList> lists;
  // gaps[k] is the text before lists[k]; the last entry is the text after
  // the last list.
  std::vector<std::string> gaps;

  const SelectList* Find(std::string_view name) const {
    for (const SelectList& l : lists)
      if (l.name == name) return &l;
    return nullptr;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const SelectList& l : lists) names.push_back(l.name);
    return names;
  }
};

// Parses `html`; a malformed list is reported as a test failure.
inline DateLists ReadDateLists(std::string_view html) {
  constexpr std::string_view kOpen = "<select name=\"";
  constexpr std::string_view kOpenEnd = "\" class=\"select\">";
  constexpr std::string_view kOption = "<Option value=\"";
  constexpr std::string_view kSelected = " selected";
  constexpr std::string_view kClose = "</select>";
  DateLists out;
  size_t p = 0;
  for (;;) {
    size_t open = html.find(kOpen, p);
    out.gaps.emplace_back(html.substr(p, open == std::string_view::npos ? html.npos : open - p));
    if (open == std::string_view::npos) return out;
    SelectList list;
    size_t name_start = open + kOpen.size();
    size_t name_end = html.find(kOpenEnd, name_start);
    if (name_end == std::string_view::npos) {
      ADD_FAILURE() << "unterminated select opening at " << open;
      return out;
    }
    list.name = std::string(html.substr(name_start, name_end - name_start));
    p = name_end + kOpenEnd.size();
    while (html.substr(p, kOption.size()) == kOption) {
      ListOption option;
      size_t value_start = p + kOption.size();
      size_t value_end = html.find('"', value_start);
      option.value = std::string(html.substr(value_start, value_end - value_start));
      p = value_end + 1;
      if (html.substr(p, kSelected.size()) == kSelected) {
        option.selected = true;
        p += kSelected.size();
      }
      if (html.substr(p, 1) != ">") {
        ADD_FAILURE() << "bad option in " << list.name << " at " << p;
        return out;
      }
      size_t label_end = html.find("</option>", p);
      option.label = std::string(html.substr(p + 1, label_end - p - 1));
      p = label_end + 9;
      list.options.push_back(std::move(option));
    }
    if (html.substr(p, kClose.size()) != kClose) {
      ADD_FAILURE() << "list " << list.name << " is not closed where its options end, at " << p;
      return out;
    }
    p += kClose.size();
    out.lists.push_back(std::move(list));
  }
}

}  // namespace tabrix::testing
