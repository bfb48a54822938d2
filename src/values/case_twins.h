// Case twins: names of one kind (the tables of a database, the columns of a
// table) that differ only in letter case, as PostgreSQL's quoted names and
// SQLite's non-ASCII names may ("Secret" and "secret").
//
// Settings, permission entries, session keys and request items ignore case.
// For a name without a twin they still do; a name with a twin is matched by
// its exact spelling only, and its session keys and request items are kept
// apart from its twin's, so what is set for one never reaches the other.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tabrix::values {

class CaseTwins {
 public:
  CaseTwins() = default;
  explicit CaseTwins(const std::vector<std::string>& names);

  // Whether the set spells `name`, ignoring case, in more than one way.
  bool Has(std::string_view name) const;

 private:
  struct Spelling {
    std::string first;
    bool twinned = false;
  };
  std::unordered_map<std::string, Spelling> spellings_;  // by folded name
};

// The part a session key takes from `name`: the name itself, or for a name
// with a twin the name and a "~" with the hexadecimal code of its bytes,
// which no other spelling shares even in keys that ignore case.
std::string KeyPart(std::string_view name, bool twinned);

// The text between the first `start` of `list` and the next `end` after
// it, as GetThis cuts it, but with `start` found by its exact spelling;
// "" when either is missing.
std::string ExactSection(std::string_view list, std::string_view start, std::string_view end);

// Whether the comma-separated `list` holds `name` as a whole item: by its
// exact spelling when `exact`, else ignoring case as IcindeVarmi does.
bool ListHolds(std::string_view list, std::string_view name, bool exact);

}  // namespace tabrix::values
