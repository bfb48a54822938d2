// NameCatalog: the table, view, column and schema names of a database, with
// the kind of each column, as the rewrite needs them to match the legacy
// SQL's names and to tell what a literal is compared with.
//
// The component writes names in any letter case ("orderid" for "OrderID");
// PostgreSQL matches a quoted name exactly and folds a bare one to lower
// case. The catalog finds the spelling a name stands for: the exact
// spelling when there is one, else the one spelling that differs only in
// case; when several differ only in case ("Secret" and "secret") and none
// is exact, the name stands for none of them. Built once, then only read:
// safe to share between threads.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tabrix::sql {

// What a column holds, as far as comparing it in SQL goes.
enum class ColumnKind {
  kOther,    // anything else (PostgreSQL: json, uuid, time, interval, ...)
  kText,     // character text
  kNumber,   // integers, floating point and exact numbers
  kMoney,    // PostgreSQL money
  kBoolean,  // PostgreSQL boolean
  kDate,     // a date, or a date and time
};

class NameCatalog {
 public:
  void AddTable(std::string_view table);
  void AddSchema(std::string_view schema);
  void AddColumn(std::string_view table, std::string_view column, ColumnKind kind);

  bool empty() const { return spellings_.empty(); }
  // The catalog's spelling of `name` (a table, view, column or schema).
  std::optional<std::string> Resolve(std::string_view name) const;
  // The catalog's spelling of the table or view `name`.
  std::optional<std::string> ResolveTable(std::string_view name) const;
  // The kind of `column` in the first of `tables` (catalog spellings) that
  // has it; nullopt when none has.
  std::optional<ColumnKind> KindIn(std::string_view column,
                                   const std::vector<std::string>& tables) const;

  // The key a name is matched by: each code point case-folded.
  static std::string Fold(std::string_view name);

  // The same names, kinds and spellings (read in the same order).
  bool operator==(const NameCatalog&) const = default;

 private:
  using Spellings = std::unordered_map<std::string, std::vector<std::string>>;  // by folded name
  static std::optional<std::string> Pick(const Spellings& spellings, std::string_view name);

  Spellings spellings_;
  Spellings tables_;
  struct Columns {
    Spellings spellings;
    std::map<std::string, ColumnKind> kinds;  // by spelling
    bool operator==(const Columns&) const = default;
  };
  std::map<std::string, Columns> columns_;  // by table spelling
};

// Where a rewrite finds the database's names.
class NameSource {
 public:
  virtual ~NameSource() = default;
  // The names as last read.
  virtual const NameCatalog& Names() = 0;
  // Reads the names again (a name was not found) and returns them.
  virtual const NameCatalog& Reload() = 0;
};

}  // namespace tabrix::sql
