// How the rows of the current table are told apart, as GetTableSpesific
// reads it from the schema.
#pragma once

#include <string>
#include <vector>

namespace tabrix {

struct RowKey {
  enum class Kind {
    kNone,        // no such table
    kPrimaryKey,  // the primary key's columns
    kAllValues,   // a table without a key: its values (every comparable column)
    kView,        // a view: its first column; it is shown, never changed
  };
  Kind kind = Kind::kNone;
  std::vector<std::string> columns;  // key order; the table's order for the others

  // Whether rows can be picked and changed one at a time.
  bool Writable() const { return kind == Kind::kPrimaryKey || kind == Kind::kAllValues; }
  // Whether an address is the key's own value, as the links always carried
  // it: a key of one column.
  bool Plain() const { return kind == Kind::kView || (kind == Kind::kPrimaryKey && columns.size() == 1); }
};

}  // namespace tabrix
