#include "host/sql/in_check.h"

#include <set>

#include "host/sql/tokenizer.h"

namespace tabrix::sql {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// Reads the tokens of one condition from `at`; every step either moves on
// or reports failure, and the whole must be read for a match.
class Reader {
 public:
  explicit Reader(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  bool AtEnd() const { return at_ == tokens_.size(); }
  bool Punct(std::string_view punct) {
    if (AtEnd() || !IsPunct(tokens_[at_], punct)) return false;
    ++at_;
    return true;
  }
  bool Word(std::string_view word) {
    if (AtEnd() || !IsWord(tokens_[at_], word)) return false;
    ++at_;
    return true;
  }
  const Token* Peek() const { return AtEnd() ? nullptr : &tokens_[at_]; }
  const Token* Next() { return AtEnd() ? nullptr : &tokens_[at_++]; }

  // A cast "::type" to a text or number type, when there is one: true when
  // none follows or the type is one of those; false for any other type.
  bool OptionalCast() {
    if (!Punct("::")) return true;
    std::string type;
    while (const Token* word = Peek()) {
      if (word->kind != TokenKind::kWord) break;
      type += (type.empty() ? "" : " ") + Lower(word->text);
      ++at_;
    }
    if (Punct("(")) {  // a length or precision: "(10)", "(10, 2)"
      while (const Token* token = Next()) {
        if (IsPunct(*token, ")")) break;
        if (token->kind != TokenKind::kNumber && !IsPunct(*token, ",")) return false;
      }
    }
    if (Punct("[") && !Punct("]")) return false;
    static const std::set<std::string> kReadable = {
        "text",    "character varying", "varchar", "character", "char",    "bpchar",
        "name",    "integer",           "int",     "int2",      "int4",    "int8",
        "bigint",  "smallint",          "numeric", "decimal",   "real",    "double precision",
        "float4",  "float8"};
    return kReadable.count(type) > 0;
  }

  // Skips the casts that may follow an item; false for one it cannot read.
  bool Casts() {
    while (Peek() != nullptr && IsPunct(*Peek(), "::"))
      if (!OptionalCast()) return false;
    return true;
  }

  // A column name, possibly in parentheses and cast: "col", "(col)::text".
  std::optional<std::string> Column() {
    size_t opened = 0;
    while (Punct("(")) ++opened;
    const Token* name = Next();
    if (name == nullptr) return std::nullopt;
    if (name->kind == TokenKind::kWord) {
      static const std::set<std::string> kNotNames = {"not", "null", "in", "any", "array",
                                                      "and", "or",   "case"};
      if (kNotNames.count(Lower(name->text)) > 0) return std::nullopt;
    } else if (name->kind != TokenKind::kQuotedName && name->kind != TokenKind::kBracketName &&
               name->kind != TokenKind::kBacktickName) {
      return std::nullopt;
    }
    if (name->kind != TokenKind::kWord && !IsTerminated(*name)) return std::nullopt;
    for (; opened > 0; --opened) {
      if (!Casts() || !Punct(")")) return std::nullopt;
    }
    if (!Casts()) return std::nullopt;
    return NameText(*name);
  }

  // One value: a string or a number with an optional sign, then any casts.
  std::optional<std::string> Value() {
    std::string value;
    const Token* token = Next();
    if (token == nullptr) return std::nullopt;
    if (IsPunct(*token, "-") || IsPunct(*token, "+")) {
      if (IsPunct(*token, "-")) value = "-";
      token = Next();
      if (token == nullptr || token->kind != TokenKind::kNumber) return std::nullopt;
    }
    if (token->kind == TokenKind::kNumber) {
      value += token->text;
    } else if (token->kind == TokenKind::kString && IsTerminated(*token) &&
               token->text.front() == '\'') {
      std::string_view inner = InnerText(*token);
      for (size_t i = 0; i < inner.size(); ++i) {
        value += inner[i];
        if (inner[i] == '\'') ++i;  // '' stands for one apostrophe
      }
    } else {
      return std::nullopt;
    }
    if (!Casts()) return std::nullopt;
    return value;
  }

  // Values separated by commas, up to the closing `close`.
  std::optional<std::vector<std::string>> Values(std::string_view close) {
    std::vector<std::string> values;
    do {
      std::optional<std::string> value = Value();
      if (!value) return std::nullopt;
      values.push_back(std::move(*value));
    } while (Punct(","));
    if (!Punct(close)) return std::nullopt;
    return values;
  }

  // "ARRAY[...]", possibly in parentheses and cast: "(ARRAY[...])::text[]".
  std::optional<std::vector<std::string>> Array() {
    size_t opened = 0;
    while (Punct("(")) ++opened;
    if (!Word("array") || !Punct("[")) return std::nullopt;
    std::optional<std::vector<std::string>> values = Values("]");
    if (!values) return std::nullopt;
    for (; opened > 0; --opened) {
      if (!Casts() || !Punct(")")) return std::nullopt;
    }
    if (!Casts()) return std::nullopt;
    return values;
  }

 private:
  std::vector<Token> tokens_;
  size_t at_ = 0;
};

// The tokens of `text` other than blanks and comments. The tokenizer reads
// "[...]" as a bracketed name, which it is in SQLite's "[col] IN (...)";
// after ARRAY, and as the "[]" of an array type, it is PostgreSQL's array
// brackets instead: those are split, and the rest read again after "[".
std::vector<Token> Tokens(std::string_view text) {
  std::vector<Token> tokens;
  for (const Token& token : Tokenize(text)) {
    if (IsTrivia(token)) continue;
    bool after_array = !tokens.empty() && IsWord(tokens.back(), "array");
    bool array_bracket =
        token.kind == TokenKind::kBracketName && (token.text == "[]" || after_array);
    if (!array_bracket) {
      tokens.push_back(token);
      continue;
    }
    size_t at = static_cast<size_t>(token.text.data() - text.data());
    tokens.push_back({TokenKind::kPunct, text.substr(at, 1)});
    std::vector<Token> rest = Tokens(text.substr(at + 1));
    tokens.insert(tokens.end(), rest.begin(), rest.end());
    break;
  }
  return tokens;
}

// `tokens` without the parentheses that wrap all of them.
std::vector<Token> Unwrapped(std::vector<Token> tokens) {
  while (tokens.size() >= 2 && IsPunct(tokens.front(), "(") && IsPunct(tokens.back(), ")")) {
    // The first parenthesis must close at the very end, not earlier:
    // "(a) = (b)" is not wrapped.
    int depth = 0;
    size_t closes_at = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
      if (IsPunct(tokens[i], "(")) ++depth;
      if (IsPunct(tokens[i], ")") && --depth == 0) {
        closes_at = i;
        break;
      }
    }
    if (closes_at != tokens.size() - 1) break;
    tokens = std::vector<Token>(tokens.begin() + 1, tokens.end() - 1);
  }
  return tokens;
}

}  // namespace

std::optional<InCheck> ParseInCheck(std::string_view clause) {
  Reader reader(Unwrapped(Tokens(clause)));

  std::optional<std::string> column = reader.Column();
  if (!column) return std::nullopt;
  std::optional<std::vector<std::string>> values;
  if (reader.Word("in")) {
    if (!reader.Punct("(")) return std::nullopt;
    values = reader.Values(")");
  } else if (reader.Punct("=") && reader.Word("any") && reader.Punct("(")) {
    values = reader.Array();
    if (values && !reader.Punct(")")) return std::nullopt;
  }
  if (!values || !reader.AtEnd()) return std::nullopt;
  return InCheck{std::move(*column), std::move(*values)};
}

}  // namespace tabrix::sql
