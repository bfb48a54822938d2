#include "host/sql/tokenizer.h"

#include <cctype>

namespace tabrix::sql {

namespace {

bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsWordStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
bool IsWordPart(unsigned char c) { return IsWordStart(c) || IsAsciiDigit(c) || c == '$'; }
bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// End of a quoted run opened at `start` by `close`'s partner; a doubled
// closing character stands for itself. Returns sql.size() when unterminated.
size_t QuotedEnd(std::string_view sql, size_t start, char close) {
  size_t i = start + 1;
  while (i < sql.size()) {
    if (sql[i] == close) {
      if (i + 1 < sql.size() && sql[i + 1] == close) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return sql.size();
}

size_t NumberEnd(std::string_view sql, size_t i) {
  auto at = [&](size_t k) { return k < sql.size() ? static_cast<unsigned char>(sql[k]) : 0; };
  if (at(i) == '0' && (at(i + 1) == 'x' || at(i + 1) == 'X')) {
    i += 2;
    while (std::isxdigit(at(i))) ++i;
    return i;
  }
  while (IsAsciiDigit(at(i))) ++i;
  if (at(i) == '.') {
    ++i;
    while (IsAsciiDigit(at(i))) ++i;
  }
  if ((at(i) == 'e' || at(i) == 'E') &&
      (IsAsciiDigit(at(i + 1)) ||
       ((at(i + 1) == '+' || at(i + 1) == '-') && IsAsciiDigit(at(i + 2))))) {
    i += 2;
    while (IsAsciiDigit(at(i))) ++i;
  }
  return i;
}

constexpr std::string_view kTwoCharOperators[] = {
    "||", "<=", ">=", "<>", "!=", "==", "<<", ">>", "::", "->"};

}  // namespace

std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  size_t i = 0;
  auto at = [&](size_t k) { return k < sql.size() ? static_cast<unsigned char>(sql[k]) : 0; };
  while (i < sql.size()) {
    unsigned char c = at(i);
    size_t end = i + 1;
    TokenKind kind = TokenKind::kPunct;
    if (IsSpace(c)) {
      kind = TokenKind::kSpace;
      while (end < sql.size() && IsSpace(at(end))) ++end;
    } else if (c == '-' && at(i + 1) == '-') {
      kind = TokenKind::kComment;
      end = sql.find('\n', i);
      end = end == std::string_view::npos ? sql.size() : end;
    } else if (c == '/' && at(i + 1) == '*') {
      kind = TokenKind::kComment;
      end = sql.find("*/", i + 2);
      end = end == std::string_view::npos ? sql.size() : end + 2;
    } else if (c == '\'') {
      kind = TokenKind::kString;
      end = QuotedEnd(sql, i, '\'');
    } else if (c == '"') {
      kind = TokenKind::kQuotedName;
      end = QuotedEnd(sql, i, '"');
    } else if (c == '[') {
      kind = TokenKind::kBracketName;
      end = QuotedEnd(sql, i, ']');
    } else if (c == '`') {
      kind = TokenKind::kBacktickName;
      end = QuotedEnd(sql, i, '`');
    } else if (IsAsciiDigit(c) || (c == '.' && IsAsciiDigit(at(i + 1)))) {
      kind = TokenKind::kNumber;
      end = NumberEnd(sql, i);
    } else if (IsWordStart(c)) {
      kind = TokenKind::kWord;
      while (end < sql.size() && IsWordPart(at(end))) ++end;
    } else if (c == '?') {
      kind = TokenKind::kParameter;
      while (end < sql.size() && IsAsciiDigit(at(end))) ++end;
    } else if ((c == ':' || c == '@' || c == '$') && IsWordPart(at(i + 1))) {
      kind = TokenKind::kParameter;
      while (end < sql.size() && IsWordPart(at(end))) ++end;
    } else {
      for (std::string_view op : kTwoCharOperators) {
        if (sql.substr(i, 2) == op) {
          end = i + 2;
          break;
        }
      }
    }
    tokens.push_back({kind, sql.substr(i, end - i)});
    i = end;
  }
  return tokens;
}

bool IsTrivia(const Token& token) {
  return token.kind == TokenKind::kSpace || token.kind == TokenKind::kComment;
}

bool IsWord(const Token& token, std::string_view word) {
  if (token.kind != TokenKind::kWord || token.text.size() != word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    unsigned char a = token.text[i], b = word[i];
    if (a >= 'A' && a <= 'Z') a = a - 'A' + 'a';
    if (b >= 'A' && b <= 'Z') b = b - 'A' + 'a';
    if (a != b) return false;
  }
  return true;
}

bool IsPunct(const Token& token, std::string_view punct) {
  return token.kind == TokenKind::kPunct && token.text == punct;
}

namespace {
char ClosingQuote(TokenKind kind) {
  switch (kind) {
    case TokenKind::kString: return '\'';
    case TokenKind::kQuotedName: return '"';
    case TokenKind::kBracketName: return ']';
    case TokenKind::kBacktickName: return '`';
    default: return 0;
  }
}

// Whether the token's last byte is its closing quote rather than the second
// half of an escape: count the run of closing characters at the end.
bool EndsWithClose(std::string_view text, char close) {
  if (text.size() < 2 || text.back() != close) return false;
  size_t run = 0;
  for (size_t i = text.size() - 1; i >= 1 && text[i] == close; --i) ++run;
  // For "[" the opener differs from the closer, so every run character after
  // it counts; an odd run means one closes and the rest pair up as escapes.
  return run % 2 == 1;
}
}  // namespace

bool IsTerminated(const Token& token) {
  char close = ClosingQuote(token.kind);
  if (close == 0) return true;
  return EndsWithClose(token.text, close);
}

std::string_view InnerText(const Token& token) {
  if (ClosingQuote(token.kind) == 0) return token.text;
  std::string_view inner = token.text.substr(1);
  if (IsTerminated(token)) inner.remove_suffix(1);
  return inner;
}

std::string NameText(const Token& token) {
  char close = ClosingQuote(token.kind);
  std::string_view inner = InnerText(token);
  if (close == 0) return std::string(inner);
  std::string name;
  for (size_t i = 0; i < inner.size(); ++i) {
    name += inner[i];
    if (inner[i] == close && i + 1 < inner.size() && inner[i + 1] == close) ++i;
  }
  return name;
}

}  // namespace tabrix::sql
