#include "host/sql/postgres_dialect.h"

#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "host/sql/comparisons.h"
#include "host/sql/legacy_names.h"
#include "host/sql/rewriter.h"
#include "host/sql/tokenizer.h"

namespace tabrix::sql {

namespace {

bool IsName(const Token& token) {
  return token.kind == TokenKind::kWord || token.kind == TokenKind::kQuotedName;
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

}  // namespace

std::string PostgresDialect::Word(std::string_view word) const {
  Token token{TokenKind::kWord, word};
  if (IsWord(token, "like")) return "ILIKE";
  return std::string(word);
}

std::string PostgresDialect::DateLiteralText(const DateLiteral& date) const {
  if (!IsRealMoment(date)) return "NULL::timestamp";
  return "'" + IsoText(date) + "'::timestamp";
}

namespace {

class PostgresPass {
 public:
  PostgresPass(std::string_view sql, NameSource& source)
      : tokens_(Tokenize(sql)), statement_(tokens_), source_(source), names_(&source.Names()) {
    replaced_.resize(tokens_.size());
  }

  std::string Run() {
    MarkCasts();
    CollectAliases();
    MarkTypedNumbers();
    for (size_t k = 0; k < statement_.size(); ++k) RewriteToken(k);
    for (size_t k : as_text_) Replace(k, Current(k) + "::text");
    std::string out;
    for (size_t i = 0; i < tokens_.size(); ++i)
      out += replaced_[i] ? *replaced_[i] : std::string(tokens_[i].text);
    return out;
  }

 private:
  const Token& At(size_t k) const { return statement_.At(k); }
  const Token* Before(size_t k) const { return k > 0 ? &At(k - 1) : nullptr; }
  const Token* After(size_t k) const { return k + 1 < statement_.size() ? &At(k + 1) : nullptr; }
  void Replace(size_t k, std::string text) {
    replaced_[statement_.TokenIndex(k)] = std::move(text);
  }
  std::string Current(size_t k) const {
    const std::optional<std::string>& text = replaced_[statement_.TokenIndex(k)];
    return text ? *text : std::string(At(k).text);
  }

  // in_cast_[k]: token k sits directly inside CAST( ... ).
  void MarkCasts() {
    std::vector<bool> stack;
    in_cast_.resize(statement_.size());
    for (size_t k = 0; k < statement_.size(); ++k) {
      in_cast_[k] = !stack.empty() && stack.back();
      if (IsPunct(At(k), "(")) stack.push_back(k > 0 && IsWord(At(k - 1), "cast"));
      if (IsPunct(At(k), ")") && !stack.empty()) stack.pop_back();
    }
  }

  bool DefinesAlias(size_t k) const {
    return k > 0 && IsWord(At(k - 1), "as") && !in_cast_[k - 1] && IsName(At(k));
  }

  void CollectAliases() {
    for (size_t k = 0; k < statement_.size(); ++k) {
      if (!DefinesAlias(k)) continue;
      std::string name = NameText(At(k));
      aliases_.emplace(NameCatalog::Fold(name), name);
    }
  }

  // Numbers compared with a boolean column become TRUE or FALSE, with a
  // money column money; compared with a column of another kind (a uuid,
  // json) both sides compare as text, which PostgreSQL can always do.
  void MarkTypedNumbers() {
    for (size_t k = 0; k < statement_.size(); ++k) {
      if (At(k).kind != TokenKind::kNumber) continue;
      std::optional<ColumnRef> column = statement_.ComparedColumn(k);
      if (!column) continue;
      std::optional<ColumnKind> kind = statement_.KindOf(*column, *names_);
      bool minus = statement_.ValueStart(k) != k;
      if (kind == ColumnKind::kBoolean) {
        double value = std::strtod(std::string(At(k).text).c_str(), nullptr);
        Typed(k, minus, value != 0 ? "TRUE" : "FALSE");
      } else if (kind == ColumnKind::kMoney) {
        Typed(k, minus, "CAST(" + std::string(minus ? "-" : "") + std::string(At(k).text) +
                            " AS money)");
      } else if (kind == ColumnKind::kOther) {
        Typed(k, minus, "'" + std::string(minus ? "-" : "") + std::string(At(k).text) + "'");
        as_text_.insert(column->last);
      }
    }
  }

  // The number at k (and the minus sign before it) as `text`.
  void Typed(size_t k, bool minus, std::string text) {
    Replace(k, std::move(text));
    typed_.insert(k);
    if (minus) Replace(k - 1, "");
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
    if (typed_.count(k) > 0) return;
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
          TextOperand(k);
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
      default: return;
    }
  }

  // The column before ILIKE at k, as text when it holds none: PostgreSQL
  // has no ILIKE for numbers, dates, json and the like.
  void TextOperand(size_t k) {
    std::optional<ColumnRef> column = statement_.ColumnBefore(k);
    if (!column) return;
    std::optional<ColumnKind> kind = statement_.KindOf(*column, *names_);
    if (kind && *kind != ColumnKind::kText) Replace(column->last, Current(column->last) + "::text");
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
  Comparisons statement_;
  NameSource& source_;
  const NameCatalog* names_;
  bool reloaded_ = false;
  std::vector<bool> in_cast_;                         // by significant position
  std::vector<std::optional<std::string>> replaced_;  // by token index
  std::map<std::string, std::string> aliases_;        // folded alias -> as written
  std::set<size_t> typed_;    // numbers turned TRUE/FALSE, money or text
  std::set<size_t> as_text_;  // columns those numbers compare as text
  Dialect quote_;
};

}  // namespace

std::string RewriteForPostgres(std::string_view sql, NameSource& names) {
  static const PostgresDialect kDialect;
  std::string standard = Rewrite(sql, kDialect, &names);
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
