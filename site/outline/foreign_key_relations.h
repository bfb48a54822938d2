// Relations taken from a database's declared foreign keys: a referring
// field shows its parent row's caption with a link, and a record page
// lists the rows of other tables that refer to it.
//
// A foreign key of one column becomes the relation
// "table.column,parent,key,caption,yes|no": the caption is the parent's
// first short text column that is not its key nor a reference of its own
// (the key itself when there is none), and the forms offer a drop-down of the parent's rows while it
// has at most 500. A key of several columns, one that refers to its own
// table, and one whose names the setting's comma-separated form cannot
// hold get no relation and a note saying why.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "site/config.h"
#include "site/outline/database_outline.h"

namespace tabrix::site {

// The most rows a parent may have and still fill a drop-down.
constexpr std::int64_t kMaxDropDownRows = 500;

struct DerivedRelation {
  std::string table;
  std::string field;
  std::string parent;
  std::string key;      // as the setting holds it (bracketed when needed)
  std::string caption;  // likewise
  bool drop_down = false;
  // The text of a set_relation entry.
  std::string Entry() const;
};

struct DerivedRelations {
  std::vector<DerivedRelation> relations;
  std::vector<std::string> notes;  // the keys left out, and why
};

// The relations of `outline`'s single-column foreign keys. `parent_rows`
// counts a parent's rows up to a limit (CountRowsUpTo); it is asked only
// once per parent.
DerivedRelations RelationsFromForeignKeys(
    const DatabaseOutline& outline,
    const std::function<std::int64_t(const std::string& table, std::int64_t limit)>& parent_rows);

// Whether a set_relation entry among `session` (the [session] settings)
// already applies to `table`.`field`, as the relation look-up would find it.
bool RelationCovered(const std::vector<std::pair<std::string, Variant>>& session,
                     const std::string& table, const std::string& field);

// Appends to `config`'s [session] settings a set_relation entry for each
// derived relation no entry covers, numbered on from the last entry the
// look-up reaches. Returns how many it added.
std::size_t AddForeignKeyRelations(SiteConfig& config, const DerivedRelations& derived);

// What refers to rows of one table: for each referring table, its column and
// the column of this table it holds. Read by the record page.
struct ReferringKey {
  std::string table;   // the referring table
  std::string column;  // its column
  std::string parent_column;  // the column of the referred table it holds
};

class ReferringKeys {
 public:
  ReferringKeys() = default;
  explicit ReferringKeys(const DerivedRelations& derived, const DatabaseOutline& outline);
  // The keys that refer to `table` (its name as the menu gives it), in the
  // order of the outline's foreign keys.
  std::vector<ReferringKey> To(const std::string& table) const;
  bool empty() const { return keys_.empty(); }

 private:
  std::vector<std::pair<std::string, ReferringKey>> keys_;  // parent, key
};

}  // namespace tabrix::site
