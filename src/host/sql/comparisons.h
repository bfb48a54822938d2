// Comparisons: what a value written into SQL is compared with.
//
// A date-shaped literal is a date only where it is compared with a date
// column, a number compared with a PostgreSQL money or boolean column needs
// that column's type, and a LIKE on a column that holds no text needs the
// column as text. Comparisons reads the tokens of one statement and finds,
// for a value, the (perhaps qualified) column on the other side of
// =, <>, !=, <, >, <=, >=, of [NOT] BETWEEN ... AND ... or of
// [NOT] IN (...) with a list of plain values; then the kind of that column
// from the catalog: in the table its qualifier names (a table or an alias
// given in the statement), or, unqualified, in the tables the statement
// names. A value compared with an expression has no column.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/sql/name_catalog.h"
#include "host/sql/tokenizer.h"

namespace tabrix::sql {

// A column named in the statement: its name and the name before its last
// "." (empty when unqualified), as written; significant token positions.
struct ColumnRef {
  std::string qualifier;
  std::string column;
  size_t first = 0;
  size_t last = 0;
};

class Comparisons {
 public:
  // `tokens` must outlive this object; positions below count only the
  // tokens that are not trivia ("significant" positions).
  explicit Comparisons(const std::vector<Token>& tokens);

  size_t size() const { return significant_.size(); }
  const Token& At(size_t k) const { return (*tokens_)[significant_[k]]; }
  // The index in `tokens` of significant position k.
  size_t TokenIndex(size_t k) const { return significant_[k]; }

  // The column the value at k (a literal or a number, perhaps after a
  // unary minus) is compared with.
  std::optional<ColumnRef> ComparedColumn(size_t k) const;
  // The column that ends at k-1 (the left operand of an operator at k; a
  // NOT before the operator is skipped).
  std::optional<ColumnRef> ColumnBefore(size_t k) const;
  // The position of the first token of the value at k: its minus sign,
  // when it has one, else k.
  size_t ValueStart(size_t k) const;
  // The kind of `ref` in `names`; nullopt when the catalog does not know
  // it there.
  std::optional<ColumnKind> KindOf(const ColumnRef& ref, const NameCatalog& names) const;

  // Whether the token is a name: a bare word that is no keyword, or a
  // quoted, bracketed or backticked name.
  static bool IsNameToken(const Token& token);

 private:
  std::optional<ColumnRef> NameEndingAt(size_t k) const;
  std::optional<ColumnRef> NameStartingAt(size_t k) const;
  bool IsValue(size_t k) const;
  // The tables `qualifier` may stand for: the table it names or the one it
  // is an alias of; unqualified, every table the statement names.
  std::vector<std::string> TablesFor(const std::string& qualifier,
                                     const NameCatalog& names) const;

  const std::vector<Token>* tokens_;
  std::vector<size_t> significant_;
};

}  // namespace tabrix::sql
