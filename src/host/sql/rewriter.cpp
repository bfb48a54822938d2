#include "host/sql/rewriter.h"

#include <optional>
#include <set>
#include <vector>

#include "host/sql/comparisons.h"
#include "host/sql/tokenizer.h"

namespace tabrix::sql {

namespace {

// Index of the first token at or after `i` that is not trivia.
size_t NextSignificant(const std::vector<Token>& tokens, size_t i) {
  while (i < tokens.size() && IsTrivia(tokens[i])) ++i;
  return i;
}

bool IsWholeNumber(const Token& token) {
  if (token.kind != TokenKind::kNumber) return false;
  for (char c : token.text)
    if (c < '0' || c > '9') return false;
  return true;
}

// Index just past the ")" matching the "(" at `open`; tokens.size() when
// it is never closed.
size_t PastClosingParen(const std::vector<Token>& tokens, size_t open) {
  int depth = 0;
  for (size_t i = open; i < tokens.size(); ++i) {
    if (IsPunct(tokens[i], "(")) ++depth;
    if (IsPunct(tokens[i], ")") && --depth == 0) return i + 1;
  }
  return tokens.size();
}

// A "top N" right after SELECT: where it starts and ends (token indexes)
// and the count's text.
struct TopClause {
  size_t first = 0;  // the TOP word
  size_t past = 0;   // past the count and the blanks after it
  std::string_view count;
};

std::optional<TopClause> FindTop(std::string_view sql, const std::vector<Token>& tokens,
                                 size_t select) {
  size_t i = NextSignificant(tokens, select + 1);
  if (i < tokens.size() && (IsWord(tokens[i], "distinct") || IsWord(tokens[i], "all")))
    i = NextSignificant(tokens, i + 1);
  if (i >= tokens.size() || !IsWord(tokens[i], "top")) return std::nullopt;
  size_t count = NextSignificant(tokens, i + 1);
  if (count >= tokens.size()) return std::nullopt;
  TopClause top;
  top.first = i;
  if (IsWholeNumber(tokens[count])) {
    top.past = count + 1;
    top.count = tokens[count].text;
  } else if (IsPunct(tokens[count], "(")) {
    top.past = PastClosingParen(tokens, count);
    // A count that is never closed is no count: it would take the rest of
    // the text, unterminated literals too, into the limit clause.
    if (!IsPunct(tokens[top.past - 1], ")")) return std::nullopt;
    const Token& last = tokens[top.past - 1];
    size_t begin = tokens[count].text.data() - sql.data();
    size_t end = last.text.data() + last.text.size() - sql.data();
    top.count = sql.substr(begin, end - begin);
  } else {
    return std::nullopt;  // "top" is a column here
  }
  while (top.past < tokens.size() && tokens[top.past].kind == TokenKind::kSpace) ++top.past;
  return top;
}

// The token indexes of the date-shaped literals compared with a date or
// time column.
std::set<size_t> ComparedDates(const std::vector<Token>& tokens, NameSource* source) {
  std::set<size_t> dates;
  if (source == nullptr) return dates;
  Comparisons statement(tokens);
  const NameCatalog* names = nullptr;
  bool reloaded = false;
  for (size_t k = 0; k < statement.size(); ++k) {
    const Token& token = statement.At(k);
    if (token.kind != TokenKind::kString || !IsTerminated(token) ||
        !ParseDateLiteral(InnerText(token)))
      continue;
    std::optional<ColumnRef> column = statement.ComparedColumn(k);
    if (!column) continue;
    if (names == nullptr) names = &source->Names();
    std::optional<ColumnKind> kind = statement.KindOf(*column, *names);
    if (!kind && !reloaded && !names->Resolve(column->column)) {
      // A column the names do not know: they may be older than the table.
      reloaded = true;
      names = &source->Reload();
      kind = statement.KindOf(*column, *names);
    }
    if (kind == ColumnKind::kDate) dates.insert(statement.TokenIndex(k));
  }
  return dates;
}

}  // namespace

std::string Rewrite(std::string_view sql, const Dialect& dialect, NameSource* names) {
  std::vector<Token> tokens = Tokenize(sql);
  std::set<size_t> dates = ComparedDates(tokens, names);
  std::string out;
  out.reserve(sql.size() + 16);

  struct PendingLimit {
    int depth;
    std::string clause;
  };
  std::vector<PendingLimit> pending;
  int depth = 0;
  // out.size() just after the last token that was not trivia: where a
  // limit clause goes, so that it lands ahead of trailing comments.
  size_t insert_at = 0;
  auto close_queries_at = [&](int level) {
    while (!pending.empty() && pending.back().depth >= level) {
      out.insert(insert_at, pending.back().clause);
      insert_at += pending.back().clause.size();
      pending.pop_back();
    }
  };

  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    switch (token.kind) {
      case TokenKind::kBracketName:
        out += IsTerminated(token) ? dialect.QuoteName(NameText(token)) : std::string(token.text);
        break;
      case TokenKind::kString:
        if (dates.count(i) > 0)
          out += dialect.DateLiteralText(*ParseDateLiteral(InnerText(token)));
        else
          out += IsTerminated(token) ? dialect.StringLiteral(InnerText(token))
                                     : std::string(token.text);
        break;
      case TokenKind::kWord:
        out += dialect.Word(token.text);
        if (IsWord(token, "select")) {
          if (auto top = FindTop(sql, tokens, i)) {
            // Keep what lies between SELECT and TOP (blanks, DISTINCT).
            for (size_t k = i + 1; k < top->first; ++k) out += tokens[k].text;
            if (top->first > i + 1 && tokens[top->first - 1].kind != TokenKind::kSpace &&
                top->past < tokens.size())
              out += ' ';
            // A count in parentheses is SQL like the rest ("top (select
            // count(*) from [t] ...)"): its names and literals are the engine's
            // too. Its dates stay as written.
            pending.push_back({depth, dialect.LimitClause(Rewrite(top->count, dialect))});
            insert_at = out.size();
            i = top->past - 1;
            continue;
          }
        }
        break;
      case TokenKind::kPunct:
        if (IsPunct(token, "(")) {
          ++depth;
        } else if (IsPunct(token, ")")) {
          close_queries_at(depth);
          if (depth > 0) --depth;
        } else if (IsPunct(token, ";")) {
          close_queries_at(depth);
        }
        out += token.text;
        break;
      default: out += token.text; break;
    }
    // An unterminated literal or name runs to the end of the text: a limit
    // clause goes before it, never into it.
    if (!IsTrivia(token) && IsTerminated(token)) insert_at = out.size();
  }
  close_queries_at(0);
  return out;
}

}  // namespace tabrix::sql
