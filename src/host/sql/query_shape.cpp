#include "host/sql/query_shape.h"

#include <vector>

#include "host/sql/tokenizer.h"

namespace tabrix::sql {

namespace {

constexpr std::string_view kAggregates[] = {"count",
                                            "sum",
                                            "avg",
                                            "min",
                                            "max",
                                            "total",
                                            "group_concat",
                                            "string_agg",
                                            "json_group_array",
                                            "json_group_object",
                                            "array_agg",
                                            "bool_and",
                                            "bool_or",
                                            "every"};

// Words that, at the top level, make the row count differ from the rows
// of the FROM ... WHERE part.
constexpr std::string_view kCountChangers[] = {"distinct", "group",     "having", "window",
                                               "union",    "intersect", "except", "over",
                                               "limit",    "offset",    "fetch"};

// The name of a sub-query in FROM, which PostgreSQL requires.
constexpr const char* kAlias = " AS tabrix_rows";

struct Shape {
  bool plain = false;      // one SELECT ... FROM with nothing of kCountChangers
  bool alias_used = false;  // a select-list alias is named after the FROM
  bool has_limit = false;  // a top-level LIMIT, OFFSET or FETCH
  size_t from = 0;         // byte offset of the top-level FROM
  size_t where = std::string_view::npos;  // byte offset of the top-level WHERE
  size_t body_end = 0;     // end of the last token before a top-level ORDER BY
  size_t end = 0;          // end of the last token, trailing ";" left out
};

size_t EndOf(std::string_view sql, const Token& token) {
  return token.text.data() + token.text.size() - sql.data();
}

bool IsAggregateCall(const std::vector<Token>& tokens, size_t i) {
  if (tokens[i].kind != TokenKind::kWord) return false;
  size_t next = i + 1;
  while (next < tokens.size() && IsTrivia(tokens[next])) ++next;
  if (next >= tokens.size() || !IsPunct(tokens[next], "(")) return false;
  for (std::string_view name : kAggregates)
    if (IsWord(tokens[i], name)) return true;
  return false;
}

bool IsName(const Token& token) {
  return token.kind == TokenKind::kWord || token.kind == TokenKind::kQuotedName ||
         token.kind == TokenKind::kBracketName || token.kind == TokenKind::kBacktickName;
}

std::string FoldedName(const Token& token) {
  std::string name = NameText(token);
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name;
}

// The aliases of the top-level select list: the name after AS, or a name
// that ends a select item right after a name, a number, a literal or a
// closing parenthesis ("N Ten"). `tokens` holds no trivia.
std::vector<std::string> SelectListAliases(const std::vector<Token>& tokens) {
  std::vector<std::string> aliases;
  int depth = 0;
  for (size_t i = 1; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (IsPunct(token, "(")) ++depth;
    if (IsPunct(token, ")") && depth > 0) --depth;
    if (depth > 0) continue;
    if (IsWord(token, "from")) break;
    if (!IsName(token) || IsWord(token, "as")) continue;
    const Token& before = tokens[i - 1];
    bool item_ends = i + 1 == tokens.size() || IsPunct(tokens[i + 1], ",") ||
                     IsWord(tokens[i + 1], "from");
    bool after_value = IsName(before) || before.kind == TokenKind::kNumber ||
                       before.kind == TokenKind::kString || IsPunct(before, ")");
    if (IsWord(before, "as") || (item_ends && after_value && i >= 2))
      aliases.push_back(FoldedName(token));
  }
  return aliases;
}

Shape Analyze(std::string_view sql) {
  std::vector<Token> tokens = Tokenize(sql);
  Shape shape;
  std::vector<Token> significant;
  for (const Token& token : tokens)
    if (!IsTrivia(token)) significant.push_back(token);
  std::vector<std::string> aliases = SelectListAliases(significant);
  int depth = 0;
  bool first = true, plain = true, seen_from = false, seen_order = false;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (IsTrivia(token)) continue;
    if (seen_from && IsName(token) && !aliases.empty()) {
      std::string name = FoldedName(token);
      for (const std::string& alias : aliases) shape.alias_used = shape.alias_used || name == alias;
    }
    if (IsPunct(token, ";") && depth == 0) continue;
    size_t previous_end = shape.end;
    shape.end = EndOf(sql, token);
    if (first) {
      first = false;
      if (!IsWord(token, "select")) plain = false;
    }
    if (!seen_order) shape.body_end = shape.end;
    if (IsPunct(token, "(")) {
      ++depth;
      continue;
    }
    if (IsPunct(token, ")")) {
      if (depth > 0) --depth;
      continue;
    }
    if (depth > 0) continue;
    for (std::string_view word : kCountChangers) {
      if (IsWord(token, word)) {
        plain = false;
        if (word == "limit" || word == "offset" || word == "fetch") shape.has_limit = true;
      }
    }
    if (IsAggregateCall(tokens, i)) plain = false;
    if (IsWord(token, "from") && !seen_from) {
      seen_from = true;
      shape.from = token.text.data() - sql.data();
    }
    if (IsWord(token, "where") && shape.where == std::string_view::npos)
      shape.where = token.text.data() - sql.data();
    if (IsWord(token, "order") && !seen_order) {
      seen_order = true;
      shape.body_end = previous_end;
    }
  }
  shape.plain = plain && seen_from;
  return shape;
}

// Whether `condition` is the tautology "1=1" that list queries start with.
bool IsAlwaysTrue(std::string_view condition) {
  std::vector<Token> tokens;
  for (const Token& token : Tokenize(condition))
    if (!IsTrivia(token)) tokens.push_back(token);
  return tokens.size() == 3 && tokens[0].kind == TokenKind::kNumber && tokens[0].text == "1" &&
         IsPunct(tokens[1], "=") && tokens[2].kind == TokenKind::kNumber && tokens[2].text == "1";
}

}  // namespace

std::optional<std::string> FastCountQuery(std::string_view sql) {
  Shape shape = Analyze(sql);
  // Without its select list the query could not name an alias in WHERE.
  if (!shape.plain || shape.alias_used) return std::nullopt;
  size_t body_end = shape.body_end;
  // Without a condition the engine counts from the table's own b-tree,
  // several times faster than testing "1=1" on every row.
  if (shape.where != std::string_view::npos && shape.where < body_end &&
      IsAlwaysTrue(sql.substr(shape.where + 5, body_end - shape.where - 5)))
    body_end = shape.where;
  while (body_end > shape.from && (sql[body_end - 1] == ' ' || sql[body_end - 1] == '\t' ||
                                   sql[body_end - 1] == '\r' || sql[body_end - 1] == '\n'))
    --body_end;
  return "SELECT COUNT(*) FROM (SELECT 1 " +
         std::string(sql.substr(shape.from, body_end - shape.from)) + ")" + kAlias;
}

std::string CountQuery(std::string_view sql) {
  Shape shape = Analyze(sql);
  return "SELECT COUNT(*) FROM (" + std::string(sql.substr(0, shape.end)) + ")" + kAlias;
}

std::string WindowQuery(std::string_view sql, std::int64_t offset, const Dialect& dialect) {
  Shape shape = Analyze(sql);
  std::string body(sql.substr(0, shape.end));
  if (shape.has_limit)
    return "SELECT * FROM (" + body + ")" + kAlias + dialect.OffsetClause(offset);
  return body + dialect.OffsetClause(offset);
}

}  // namespace tabrix::sql
