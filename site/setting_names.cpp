#include "site/setting_names.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "host/locale/locale.h"
#include "host/text/utf8.h"

namespace tabrix::site {

namespace {

constexpr std::string_view kFixedNames[] = {
    "set_dns",           "set_replace",         "set_encryptkey",
    "set_projectname",   "set_currency",        "set_include_views",
    "set_enabled_tables", "set_disabled_tables", "set_pagers",
};

// A numbered name: prefix, the number, suffix. Names of one prefix form one
// list; the users' list is ended by its "_username" keys.
struct NumberedName {
  std::string_view prefix;
  std::string_view suffix;
};

constexpr NumberedName kNumberedNames[] = {
    {"set_relation", ""},         {"set_select", ""},          {"set_link", ""},
    {"set_action", ""},           {"set_user", "_username"},   {"set_user", "_password"},
    {"set_user", "_name"},        {"set_user", "_CanTable"},   {"set_user", "_CantTable"},
    {"set_user", "_CantField"},   {"set_user", "_CanAction"},  {"set_user", "_CantAction"},
};

constexpr std::string_view kUserPrefix = "set_user";
constexpr std::string_view kUserListKey = "_username";
constexpr long kHighestNumber = 10000;

constexpr std::string_view kTableSuffixes[] = {"_list", "_search"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A key read as a numbered name: which one, and its digits as written.
struct NumberedKey {
  const NumberedName* name = nullptr;
  std::string digits;
  // 1 to 10000 without leading zeros; 0 for any other digits.
  long number = 0;
};

std::optional<NumberedKey> AsNumbered(const std::string& folded) {
  for (const NumberedName& name : kNumberedNames) {
    std::string prefix = FoldCase(name.prefix);
    if (!folded.starts_with(prefix)) continue;
    size_t end = prefix.size();
    while (end < folded.size() && IsDigit(folded[end])) ++end;
    if (end == prefix.size() || folded.substr(end) != FoldCase(name.suffix)) continue;
    NumberedKey key{&name, folded.substr(prefix.size(), end - prefix.size()), 0};
    if (key.digits[0] != '0' && key.digits.size() <= 5) {
      long value = std::stol(key.digits);
      if (value <= kHighestNumber) key.number = value;
    }
    return key;
  }
  return std::nullopt;
}

// The table part of "set_<table>_list" or "set_<table>_search", if the key
// has that form.
std::optional<std::string> TablePart(const std::string& folded) {
  if (!folded.starts_with("set_")) return std::nullopt;
  for (std::string_view suffix : kTableSuffixes) {
    if (folded.size() > 4 + suffix.size() && folded.ends_with(suffix))
      return folded.substr(4, folded.size() - 4 - suffix.size());
  }
  return std::nullopt;
}

// Edits (insertion, deletion, substitution, swap of neighbours) from `a`
// to `b`, counted in characters.
size_t EditDistance(std::string_view a_text, std::string_view b_text) {
  std::u32string a = text::Decode(a_text);
  std::u32string b = text::Decode(b_text);
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

// The number a misspelt key most likely meant: its first digits when they
// make a number that is read, else 1.
std::string NumberIn(const std::string& folded) {
  size_t start = folded.find_first_of("0123456789");
  if (start == std::string::npos) return "1";
  size_t end = start;
  while (end < folded.size() && IsDigit(folded[end])) ++end;
  std::string digits = folded.substr(start, end - start);
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  if (digits == "0" || digits.size() > 5 || std::stol(digits) > kHighestNumber) return "1";
  return digits;
}

// The name a misspelt key was probably meant to be, if one is close.
std::optional<std::string> Nearest(const std::string& folded,
                                   const std::vector<std::string>& tables) {
  std::vector<std::string> candidates(std::begin(kFixedNames), std::end(kFixedNames));
  std::string number = NumberIn(folded);
  for (const NumberedName& name : kNumberedNames)
    candidates.push_back(std::string(name.prefix) + number + std::string(name.suffix));
  for (const std::string& table : tables)
    for (std::string_view suffix : kTableSuffixes)
      candidates.push_back("set_" + table + std::string(suffix));

  std::optional<std::string> best;
  size_t best_distance = 3;
  for (const std::string& candidate : candidates) {
    size_t distance = EditDistance(folded, FoldCase(candidate));
    // Short names are close only with few edits: a third of the length.
    if (distance < best_distance && distance * 3 <= text::Length(candidate)) {
      best = candidate;
      best_distance = distance;
    }
  }
  return best;
}

// The first number of each list that was never given; what comes after it
// is never read.
std::map<std::string_view, long> FirstMissingNumbers(
    const std::vector<std::pair<std::string, Variant>>& session) {
  std::map<std::string_view, std::set<long>> given;
  for (const auto& [key, value] : session) {
    std::optional<NumberedKey> numbered = AsNumbered(FoldCase(key));
    if (!numbered || numbered->number == 0) continue;
    const NumberedName& name = *numbered->name;
    if (name.prefix == kUserPrefix && name.suffix != kUserListKey) continue;
    given[name.prefix].insert(numbered->number);
  }
  std::map<std::string_view, long> missing;
  for (const NumberedName& name : kNumberedNames) {
    const std::set<long>& numbers = given[name.prefix];
    long n = 1;
    while (numbers.contains(n)) ++n;
    missing[name.prefix] = n;
  }
  return missing;
}

}  // namespace

std::vector<std::string> UnreadSettingWarnings(
    const std::vector<std::pair<std::string, Variant>>& session,
    const std::vector<std::string>& tables) {
  std::map<std::string_view, long> first_missing = FirstMissingNumbers(session);
  std::vector<std::string> warnings;
  for (const auto& [key, value] : session) {
    std::string folded = FoldCase(key);
    std::string unread = "[session] " + key + " is read by no setting";
    if (!folded.starts_with("set_")) {
      // The site's settings lie under every session: a value of another
      // name reads as the session's own.
      warnings.push_back(unread +
                         " (setting names begin with set_; a value under another name reads "
                         "into every visitor's session)");
      continue;
    }
    if (std::find(std::begin(kFixedNames), std::end(kFixedNames), folded) != std::end(kFixedNames))
      continue;
    if (std::optional<NumberedKey> numbered = AsNumbered(folded)) {
      std::string_view prefix = numbered->name->prefix;
      if (numbered->number == 0) {
        warnings.push_back(unread + ": " + std::string(prefix) +
                           " entries are numbered from 1 to 10000, without leading zeros");
      } else if (long missing = first_missing[prefix]; numbered->number >= missing) {
        std::string list_key = std::string(prefix) + std::to_string(missing) +
                               std::string(prefix == kUserPrefix ? kUserListKey : "");
        warnings.push_back(unread + ": " + list_key +
                           " is missing, and a numbered list ends at its first missing number");
      }
      continue;
    }
    std::optional<std::string> table = TablePart(folded);
    if (table) {
      // Without the schema, a table's own settings cannot be judged.
      if (tables.empty()) continue;
      bool names_table = std::any_of(tables.begin(), tables.end(), [&](const std::string& t) {
        return EqualsIgnoreCase(t, *table);
      });
      if (names_table) continue;
    }
    if (std::optional<std::string> meant = Nearest(folded, tables)) {
      warnings.push_back(unread + "; did you mean " + *meant + "?");
    } else if (table) {
      // The table part as written: between "set_" and the last "_".
      warnings.push_back(unread + ": no table or view is named " +
                         key.substr(4, key.rfind('_') - 4));
    } else {
      warnings.push_back(unread);
    }
  }
  return warnings;
}

}  // namespace tabrix::site
