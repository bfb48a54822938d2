#include "host/sql/comparisons.h"

#include <algorithm>

#include "host/sql/legacy_names.h"

namespace tabrix::sql {

namespace {

bool IsComparison(const Token& token) {
  return IsPunct(token, "=") || IsPunct(token, "<>") || IsPunct(token, "!=") ||
         IsPunct(token, "<") || IsPunct(token, ">") || IsPunct(token, "<=") ||
         IsPunct(token, ">=");
}

bool IsPlainValue(const Token& token) {
  return token.kind == TokenKind::kString || token.kind == TokenKind::kNumber;
}

}  // namespace

Comparisons::Comparisons(const std::vector<Token>& tokens) : tokens_(&tokens) {
  for (size_t i = 0; i < tokens.size(); ++i)
    if (!IsTrivia(tokens[i])) significant_.push_back(i);
}

bool Comparisons::IsNameToken(const Token& token) {
  switch (token.kind) {
    case TokenKind::kWord: return !IsReservedWord(token.text);
    case TokenKind::kQuotedName:
    case TokenKind::kBracketName:
    case TokenKind::kBacktickName: return IsTerminated(token);
    default: return false;
  }
}

std::optional<ColumnRef> Comparisons::NameEndingAt(size_t k) const {
  if (k >= size() || !IsNameToken(At(k))) return std::nullopt;
  // A function's name or a type after "::" is no column.
  if (k + 1 < size() && IsPunct(At(k + 1), "(")) return std::nullopt;
  if (k > 0 && IsPunct(At(k - 1), "::")) return std::nullopt;
  ColumnRef ref;
  ref.column = NameText(At(k));
  ref.first = ref.last = k;
  while (ref.first >= 2 && IsPunct(At(ref.first - 1), ".") && IsNameToken(At(ref.first - 2))) {
    if (ref.first == k) ref.qualifier = NameText(At(k - 2));
    ref.first -= 2;
  }
  return ref;
}

std::optional<ColumnRef> Comparisons::NameStartingAt(size_t k) const {
  if (k >= size() || !IsNameToken(At(k))) return std::nullopt;
  size_t last = k;
  while (last + 2 < size() && IsPunct(At(last + 1), ".") && IsNameToken(At(last + 2))) last += 2;
  // An expression that goes on (a function call, a cast, arithmetic after
  // it is the caller's concern) is no plain column.
  if (last + 1 < size() && (IsPunct(At(last + 1), "(") || IsPunct(At(last + 1), "::")))
    return std::nullopt;
  std::optional<ColumnRef> ref = NameEndingAt(last);
  if (ref) ref->first = k;
  return ref;
}

bool Comparisons::IsValue(size_t k) const { return k < size() && IsPlainValue(At(k)); }

size_t Comparisons::ValueStart(size_t k) const {
  // A minus sign is the value's own when no operand stands before it.
  if (k >= 2 && IsPunct(At(k - 1), "-") &&
      (IsComparison(At(k - 2)) || IsPunct(At(k - 2), "(") || IsPunct(At(k - 2), ",") ||
       IsWord(At(k - 2), "between") || IsWord(At(k - 2), "and")))
    return k - 1;
  return k;
}

std::optional<ColumnRef> Comparisons::ColumnBefore(size_t k) const {
  if (k == 0) return std::nullopt;
  size_t end = k - 1;
  if (IsWord(At(end), "not")) {
    if (end == 0) return std::nullopt;
    --end;
  }
  return NameEndingAt(end);
}

std::optional<ColumnRef> Comparisons::ComparedColumn(size_t k) const {
  if (!IsValue(k)) return std::nullopt;
  size_t start = ValueStart(k);
  if (start == 0) {
    if (k + 1 < size() && IsComparison(At(k + 1))) return NameStartingAt(k + 2);
    return std::nullopt;
  }
  size_t before = start - 1;
  const Token& op = At(before);
  if (IsComparison(op)) {
    if (before == 0) return std::nullopt;
    std::optional<ColumnRef> ref = NameEndingAt(before - 1);
    // "a + b = 'x'" compares an expression, not the column b.
    if (ref && ref->first > 0 && At(ref->first - 1).kind == TokenKind::kPunct &&
        !IsPunct(At(ref->first - 1), "(") && !IsPunct(At(ref->first - 1), ","))
      return std::nullopt;
    return ref;
  }
  if (k + 1 < size() && IsComparison(At(k + 1))) {
    // The value on the left: the column is the whole right operand.
    std::optional<ColumnRef> ref = NameStartingAt(k + 2);
    if (ref && ref->last + 1 < size()) {
      const Token& next = At(ref->last + 1);
      if (next.kind == TokenKind::kPunct && !IsPunct(next, ")") && !IsPunct(next, ",") &&
          !IsPunct(next, ";"))
        return std::nullopt;
    }
    return ref;
  }
  if (IsWord(op, "between")) return ColumnBefore(before);
  if (IsWord(op, "and") && before >= 2) {
    size_t low = ValueStart(before - 1);
    if (IsValue(before - 1) && low >= 1 && IsWord(At(low - 1), "between"))
      return ColumnBefore(low - 1);
    return std::nullopt;
  }
  // A member of an IN list of plain values.
  size_t at = before;
  while (IsPunct(At(at), ",")) {
    if (at == 0 || !IsValue(at - 1)) return std::nullopt;
    at = ValueStart(at - 1);
    if (at == 0) return std::nullopt;
    --at;
  }
  if (IsPunct(At(at), "(") && at >= 1 && IsWord(At(at - 1), "in")) return ColumnBefore(at - 1);
  return std::nullopt;
}

std::vector<std::string> Comparisons::TablesFor(const std::string& qualifier,
                                               const NameCatalog& names) const {
  std::string folded = qualifier.empty() ? std::string() : NameCatalog::Fold(qualifier);
  std::vector<std::string> tables;
  for (size_t k = 0; k < size(); ++k) {
    if (!IsNameToken(At(k))) continue;
    std::optional<std::string> table = names.ResolveTable(NameText(At(k)));
    if (!table) continue;
    if (!qualifier.empty()) {
      // "table alias" or "table AS alias".
      size_t alias = k + 1;
      if (alias < size() && IsWord(At(alias), "as")) ++alias;
      if (alias < size() && IsNameToken(At(alias)) &&
          NameCatalog::Fold(NameText(At(alias))) == folded &&
          !(alias + 1 < size() && IsPunct(At(alias + 1), ".")))
        return {*table};
    }
    if (std::find(tables.begin(), tables.end(), *table) == tables.end())
      tables.push_back(std::move(*table));
  }
  if (!qualifier.empty()) {
    if (std::optional<std::string> table = names.ResolveTable(qualifier)) return {*table};
  }
  // An unknown qualifier (a sub-query's name): any table of the statement.
  return tables;
}

std::optional<ColumnKind> Comparisons::KindOf(const ColumnRef& ref,
                                              const NameCatalog& names) const {
  return names.KindIn(ref.column, TablesFor(ref.qualifier, names));
}

}  // namespace tabrix::sql
