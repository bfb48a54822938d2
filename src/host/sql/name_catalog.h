// NameCatalog: the table, view, column and schema names of a database, as
// the PostgreSQL rewrite needs them to match the legacy SQL's names.
//
// The component writes names in any letter case ("orderid" for "OrderID");
// PostgreSQL matches a quoted name exactly and folds a bare one to lower
// case. The catalog finds the spelling a name stands for without regard to
// case: the exact spelling when there is one, else the lower-case one (what
// the engine itself would pick for a bare name), else the first added. It
// also knows which columns of which tables are boolean. Built once, then
// only read: safe to share between threads.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tabrix::sql {

class NameCatalog {
 public:
  void AddTable(std::string_view table);
  void AddSchema(std::string_view schema);
  void AddColumn(std::string_view table, std::string_view column, bool boolean);

  bool empty() const { return spellings_.empty(); }
  // The catalog's spelling of `name` (a table, view, column or schema).
  std::optional<std::string> Resolve(std::string_view name) const;
  // Whether `name` is a table or view.
  bool IsTable(std::string_view name) const;
  // Whether `column` is boolean in one of `tables` (folded keys, see Fold).
  bool IsBooleanIn(std::string_view column, const std::set<std::string>& tables) const;

  // The key a name is matched by: each code point case-folded.
  static std::string Fold(std::string_view name);

 private:
  void AddSpelling(std::string_view name);

  std::unordered_map<std::string, std::vector<std::string>> spellings_;  // by folded name
  std::set<std::string> tables_;                                           // folded
  std::set<std::pair<std::string, std::string>> boolean_columns_;          // folded table, column
};

}  // namespace tabrix::sql
