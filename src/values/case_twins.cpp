#include "values/case_twins.h"

#include "host/locale/locale.h"
#include "host/text/case_fold.h"

namespace tabrix::values {

CaseTwins::CaseTwins(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    auto [it, added] = spellings_.emplace(FoldCase(name), Spelling{name});
    if (!added && it->second.first != name) it->second.twinned = true;
  }
}

bool CaseTwins::Has(std::string_view name) const {
  auto it = spellings_.find(FoldCase(name));
  return it != spellings_.end() && it->second.twinned;
}

std::string KeyPart(std::string_view name, bool twinned) {
  std::string part(name);
  if (!twinned) return part;
  static constexpr char kHex[] = "0123456789abcdef";
  part += '~';
  for (unsigned char c : name) {
    part += kHex[c >> 4];
    part += kHex[c & 0xF];
  }
  return part;
}

std::string ExactSection(std::string_view list, std::string_view start, std::string_view end) {
  size_t from = list.find(start);
  if (from == std::string_view::npos) return "";
  from += start.size();
  size_t to = list.find(end, from);
  if (to == std::string_view::npos) return "";
  return std::string(list.substr(from, to - from));
}

bool ListHolds(std::string_view list, std::string_view name, bool exact) {
  if (!exact) {
    return text::FoldedCodePoints("," + std::string(list) + ",")
               .find(text::FoldedCodePoints("," + std::string(name) + ",")) != std::u32string::npos;
  }
  size_t from = 0;
  while (from <= list.size()) {
    size_t comma = list.find(',', from);
    size_t to = comma == std::string_view::npos ? list.size() : comma;
    if (list.substr(from, to - from) == name) return true;
    if (comma == std::string_view::npos) break;
    from = comma + 1;
  }
  return false;
}

}  // namespace tabrix::values
