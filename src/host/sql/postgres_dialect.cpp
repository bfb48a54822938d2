#include "host/sql/postgres_dialect.h"

#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "host/sql/legacy_names.h"
#include "host/sql/rewriter.h"
#include "host/sql/tokenizer.h"

namespace tabrix::sql {

std::string PostgresDialect::Word(std::string_view word) const {
  Token token{TokenKind::kWord, word};
  if (IsWord(token, "like")) return "ILIKE";
  return std::string(word);
}

namespace {

bool IsName(const Token& token) {
  return token.kind == TokenKind::kWord || token.kind == TokenKind::kQuotedName;
}

bool IsEquality(const Token& token) {
  return IsPunct(token, "=") || IsPunct(token, "<>") || IsPunct(token, "!=");
}

bool IsComparison(const Token& token) {
  return IsEquality(token) || IsPunct(token, "<") || IsPunct(token, ">") ||
         IsPunct(token, "<=") || IsPunct(token, ">=");
}

bool IsDateShaped(const Token& token) {
  return token.kind == TokenKind::kString && IsTerminated(token) &&
         ParseDateLiteral(InnerText(token)).has_value();
}

// Whether the literal names a day of the calendar and a time of day: the
// shape alone lets through "0-0-0" and "2008-2-30", which PostgreSQL
// refuses to read as a timestamp.
bool IsRealMoment(const DateLiteral& date) {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1) return false;
  bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
  int days = date.month == 2 && !leap ? 28 : kDays[date.month - 1];
  return date.day <= days && date.hour < 24 && date.minute < 60 && date.second < 60;
}

class PostgresPass {
 public:
  PostgresPass(std::string_view sql, NameSource& source)
      : tokens_(Tokenize(sql)), source_(source), names_(&source.Names()) {
    for (size_t i = 0; i < tokens_.size(); ++i)
      if (!IsTrivia(tokens_[i])) significant_.push_back(i);
    replaced_.resize(tokens_.size());
  }

  std::string Run() {
    MarkCasts();
    CollectTablesAndAliases();
    MarkBooleanComparisons();
    for (size_t k = 0; k < significant_.size(); ++k) RewriteToken(k);
    std::string out;
    for (size_t i = 0; i < tokens_.size(); ++i)
      out += replaced_[i] ? *replaced_[i] : std::string(tokens_[i].text);
    return out;
  }

 private:
  const Token& At(size_t k) const { return tokens_[significant_[k]]; }
  const Token* Before(size_t k) const { return k > 0 ? &At(k - 1) : nullptr; }
  const Token* After(size_t k) const {
    return k + 1 < significant_.size() ? &At(k + 1) : nullptr;
  }
  void Replace(size_t k, std::string text) { replaced_[significant_[k]] = std::move(text); }

  // in_cast_[k]: token k sits directly inside CAST( ... ).
  void MarkCasts() {
    std::vector<bool> stack;
    in_cast_.resize(significant_.size());
    for (size_t k = 0; k < significant_.size(); ++k) {
      in_cast_[k] = !stack.empty() && stack.back();
      if (IsPunct(At(k), "(")) stack.push_back(k > 0 && IsWord(At(k - 1), "cast"));
      if (IsPunct(At(k), ")") && !stack.empty()) stack.pop_back();
    }
  }

  bool DefinesAlias(size_t k) const {
    return k > 0 && IsWord(At(k - 1), "as") && !in_cast_[k - 1] && IsName(At(k));
  }

  void CollectTablesAndAliases() {
    for (size_t k = 0; k < significant_.size(); ++k) {
      const Token& token = At(k);
      if (!IsName(token)) continue;
      std::string name = NameText(token);
      if (DefinesAlias(k)) {
        aliases_.emplace(NameCatalog::Fold(name), name);
      } else if (names_->IsTable(name)) {
        tables_.insert(NameCatalog::Fold(name));
      }
    }
  }

  bool IsBooleanColumn(size_t k) const {
    return IsName(At(k)) && names_->IsBooleanIn(NameText(At(k)), tables_);
  }

  // A number (perhaps with a minus sign) at k, compared with a boolean
  // column: TRUE or FALSE in its place.
  void MarkBooleanComparisons() {
    for (size_t k = 1; k + 1 < significant_.size(); ++k) {
      if (!IsEquality(At(k))) continue;
      size_t number = k + 1;
      bool minus = IsPunct(At(number), "-") && number + 1 < significant_.size();
      if (minus) ++number;
      if (At(number).kind == TokenKind::kNumber && IsBooleanColumn(k - 1)) {
        SetBoolean(number, minus);
        continue;
      }
      if (At(k - 1).kind == TokenKind::kNumber && k + 1 < significant_.size() &&
          IsBooleanColumn(k + 1)) {
        SetBoolean(k - 1, k >= 2 && IsPunct(At(k - 2), "-"));
      }
    }
  }

  void SetBoolean(size_t number, bool minus) {
    double value = std::strtod(std::string(At(number).text).c_str(), nullptr);
    Replace(number, value != 0 ? "TRUE" : "FALSE");
    booleans_.insert(number);  // a minus sign before it goes too
    if (minus) Replace(number - 1, "");
  }

  // A date-shaped literal beside a comparison or in BETWEEN ... AND ....
  bool IsComparedDate(size_t k) const {
    if (!IsDateShaped(At(k))) return false;
    const Token* before = Before(k);
    const Token* after = After(k);
    if (before != nullptr && (IsComparison(*before) || IsWord(*before, "between"))) return true;
    if (after != nullptr && IsComparison(*after)) return true;
    return before != nullptr && IsWord(*before, "and") && k >= 3 && IsDateShaped(At(k - 2)) &&
           IsWord(At(k - 3), "between");
  }

  std::optional<std::string> Resolve(const std::string& name, bool reload_if_unknown) {
    if (auto spelling = names_->Resolve(name)) return spelling;
    if (reload_if_unknown && !reloaded_) {
      reloaded_ = true;
      names_ = &source_.Reload();
      if (auto spelling = names_->Resolve(name)) return spelling;
    }
    return std::nullopt;
  }

  std::optional<std::string> Alias(const std::string& name) const {
    auto it = aliases_.find(NameCatalog::Fold(name));
    if (it == aliases_.end()) return std::nullopt;
    return it->second;
  }

  void RewriteToken(size_t k) {
    const Token& token = At(k);
    if (booleans_.count(k) > 0) return;
    switch (token.kind) {
      case TokenKind::kQuotedName: {
        if (!IsTerminated(token) || DefinesAlias(k)) return;
        std::string name = NameText(token);
        std::optional<std::string> spelling = Resolve(name, true);
        if (!spelling) spelling = Alias(name);
        if (spelling) Replace(k, quote_.QuoteName(*spelling));
        return;
      }
      case TokenKind::kWord: {
        if (IsWord(token, "ilike")) {
          AddEscape(k);
          return;
        }
        if (IsReservedWord(token.text)) return;
        const Token* after = After(k);
        const Token* before = Before(k);
        if (after != nullptr && IsPunct(*after, "(")) return;  // a function
        if (before != nullptr && IsPunct(*before, "::")) return;  // a type
        if (before != nullptr && IsWord(*before, "as") && in_cast_[k - 1]) return;
        std::string name(token.text);
        if (DefinesAlias(k)) {
          Replace(k, quote_.QuoteName(name));
          return;
        }
        std::optional<std::string> spelling = Resolve(name, false);
        if (!spelling) spelling = Alias(name);
        if (spelling) Replace(k, quote_.QuoteName(*spelling));
        return;
      }
      case TokenKind::kString:
        if (IsComparedDate(k))
          Replace(k, IsRealMoment(*ParseDateLiteral(InnerText(token)))
                         ? std::string(token.text) + "::timestamp"
                         : std::string("NULL::timestamp"));
        return;
      default: return;
    }
  }

  // ILIKE 'pattern' without ESCAPE: no escape character.
  void AddEscape(size_t k) {
    const Token* pattern = After(k);
    if (pattern == nullptr || pattern->kind != TokenKind::kString || !IsTerminated(*pattern))
      return;
    const Token* after = After(k + 1);
    if (after != nullptr && IsWord(*after, "escape")) return;
    Replace(k + 1, std::string(pattern->text) + " ESCAPE ''");
  }

  std::vector<Token> tokens_;
  NameSource& source_;
  const NameCatalog* names_;
  bool reloaded_ = false;
  std::vector<size_t> significant_;  // indexes of the tokens that are not trivia
  std::vector<bool> in_cast_;        // by significant index
  std::vector<std::optional<std::string>> replaced_;  // by token index
  std::set<std::string> tables_;                      // folded names of the tables named
  std::map<std::string, std::string> aliases_;        // folded alias -> as written
  std::set<size_t> booleans_;                         // numbers turned TRUE/FALSE
  Dialect quote_;
};

}  // namespace

std::string RewriteForPostgres(std::string_view sql, NameSource& names) {
  static const PostgresDialect kDialect;
  std::string standard = Rewrite(sql, kDialect);
  return NumberPlaceholders(PostgresPass(standard, names).Run());
}

}  // namespace tabrix::sql

namespace tabrix::sql {

std::string NumberPlaceholders(std::string_view sql) {
  if (sql.find('?') == std::string_view::npos) return std::string(sql);
  std::string out;
  int number = 0;
  for (const Token& token : Tokenize(sql)) {
    if (token.kind == TokenKind::kParameter && token.text == "?")
      out += "$" + std::to_string(++number);
    else
      out += token.text;
  }
  return out;
}

std::vector<std::string_view> SplitStatements(std::string_view sql) {
  std::vector<std::string_view> statements;
  size_t start = 0;
  bool blank = true;
  int depth = 0;
  auto cut = [&](size_t end) {
    if (!blank) statements.push_back(sql.substr(start, end - start));
    blank = true;
  };
  for (const Token& token : Tokenize(sql)) {
    size_t offset = static_cast<size_t>(token.text.data() - sql.data());
    if (IsPunct(token, "(")) ++depth;
    if (IsPunct(token, ")") && depth > 0) --depth;
    if (IsPunct(token, ";") && depth == 0) {
      cut(offset);
      start = offset + 1;
      continue;
    }
    if (!IsTrivia(token)) blank = false;
  }
  cut(sql.size());
  return statements;
}

}  // namespace tabrix::sql
