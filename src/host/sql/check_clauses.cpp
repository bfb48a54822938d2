#include "host/sql/check_clauses.h"

#include "host/sql/tokenizer.h"

namespace tabrix::sql {

namespace {

std::vector<Token> Significant(std::string_view text) {
  std::vector<Token> tokens;
  for (const Token& token : Tokenize(text))
    if (!IsTrivia(token)) tokens.push_back(token);
  return tokens;
}

// The index of the ")" that closes the "(" at `open`; tokens.size() when
// it is left open.
size_t ClosingIndex(const std::vector<Token>& tokens, size_t open) {
  size_t close = open + 1;
  for (int inner = 1; close < tokens.size(); ++close) {
    if (IsPunct(tokens[close], "(")) ++inner;
    if (IsPunct(tokens[close], ")") && --inner == 0) break;
  }
  return close;
}

// The text between the "(" at `open` and its ")" (or the end of `text`).
std::string Between(std::string_view text, const std::vector<Token>& tokens, size_t open,
                    size_t close) {
  const char* begin = tokens[open].text.data() + 1;
  const char* end = close < tokens.size() ? tokens[close].text.data() : text.data() + text.size();
  return std::string(begin, end);
}

}  // namespace

std::string CheckCondition(std::string_view definition) {
  std::vector<Token> tokens = Significant(definition);
  for (size_t i = 0; i + 1 < tokens.size(); ++i)
    if (IsWord(tokens[i], "check") && IsPunct(tokens[i + 1], "("))
      return Between(definition, tokens, i + 1, ClosingIndex(tokens, i + 1));
  return "";
}

std::vector<CheckClause> CheckClauses(std::string_view create_table_sql) {
  std::vector<Token> tokens = Significant(create_table_sql);

  std::vector<CheckClause> checks;
  // Column definitions and table constraints sit at depth 1, inside the
  // parentheses that follow the table's name.
  int depth = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (IsPunct(tokens[i], "(")) {
      ++depth;
      continue;
    }
    if (IsPunct(tokens[i], ")")) {
      if (--depth <= 0) break;  // the end of the column list
      continue;
    }
    if (depth != 1 || !IsWord(tokens[i], "check") || i + 1 >= tokens.size() ||
        !IsPunct(tokens[i + 1], "("))
      continue;
    CheckClause check;
    if (i >= 2 && IsWord(tokens[i - 2], "constraint")) check.name = NameText(tokens[i - 1]);
    size_t close = ClosingIndex(tokens, i + 1);
    check.clause = Between(create_table_sql, tokens, i + 1, close);
    checks.push_back(std::move(check));
    i = close;
  }
  return checks;
}

}  // namespace tabrix::sql
