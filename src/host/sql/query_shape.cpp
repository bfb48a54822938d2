#include "host/sql/query_shape.h"

#include <string>
#include <utility>
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

namespace {

size_t BeginOf(std::string_view sql, const Token& token) {
  return token.text.data() - sql.data();
}

// " LIMIT n OFFSET k".
std::string LimitOffset(std::int64_t offset, std::int64_t limit) {
  return " LIMIT " + std::to_string(limit) + " OFFSET " + std::to_string(offset);
}

// `sql` with `clause` after it, or after the query wrapped as a sub-query
// when it has a top-level LIMIT of its own.
std::string WithWindowClause(std::string_view sql, const std::string& clause) {
  Shape shape = Analyze(sql);
  std::string body(sql.substr(0, shape.end));
  if (shape.has_limit) return "SELECT * FROM (" + body + ")" + kAlias + clause;
  return body + clause;
}

// Tokens [begin, end) of `tokens` cut at the commas outside parentheses.
std::vector<std::pair<size_t, size_t>> TopLevelItems(const std::vector<Token>& tokens,
                                                     size_t begin, size_t end) {
  std::vector<std::pair<size_t, size_t>> items;
  int depth = 0;
  size_t start = begin;
  for (size_t i = begin; i < end; ++i) {
    if (IsPunct(tokens[i], "(")) ++depth;
    if (IsPunct(tokens[i], ")") && depth > 0) --depth;
    if (depth == 0 && IsPunct(tokens[i], ",")) {
      items.emplace_back(start, i);
      start = i + 1;
    }
  }
  items.emplace_back(start, end);
  return items;
}

// How many tokens from `begin` make a column reference ("name" or
// "table.name"); 0 when they do not start with one.
size_t ColumnReferenceLength(const std::vector<Token>& tokens, size_t begin, size_t end) {
  if (begin >= end || !IsName(tokens[begin])) return 0;
  if (begin + 2 < end && IsPunct(tokens[begin + 1], ".") && IsName(tokens[begin + 2])) return 3;
  return 1;
}

// Whether select item [begin, end) is a plain column, with or without an
// alias: its reference is all it computes.
bool IsPlainColumn(const std::vector<Token>& tokens, size_t begin, size_t end) {
  size_t length = ColumnReferenceLength(tokens, begin, end);
  if (length == 0) return false;
  size_t rest = end - begin - length;
  if (rest == 0) return true;
  size_t alias = begin + length;
  if (rest == 2) return IsWord(tokens[alias], "as") && IsName(tokens[alias + 1]);
  return rest == 1 && IsName(tokens[alias]);
}

}  // namespace

std::optional<PagedList> PagedListOf(std::string_view sql) {
  Shape shape = Analyze(sql);
  if (!shape.plain || shape.alias_used || shape.has_limit) return std::nullopt;
  std::vector<Token> tokens;
  for (const Token& token : Tokenize(sql))
    if (!IsTrivia(token)) tokens.push_back(token);
  while (!tokens.empty() && IsPunct(tokens.back(), ";")) tokens.pop_back();
  // An unterminated literal or name runs to the end of the text: whatever
  // the window puts after it would become part of it.
  for (const Token& token : tokens) {
    bool quoted = token.kind == TokenKind::kString || token.kind == TokenKind::kQuotedName ||
                  token.kind == TokenKind::kBracketName || token.kind == TokenKind::kBacktickName;
    if (quoted && !IsTerminated(token)) return std::nullopt;
  }

  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t from = kNone, where = kNone, order = kNone;
  int depth = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (IsPunct(tokens[i], "(")) ++depth;
    if (IsPunct(tokens[i], ")") && depth > 0) --depth;
    if (depth > 0) continue;
    if (from == kNone && IsWord(tokens[i], "from")) from = i;
    if (from != kNone && where == kNone && order == kNone && IsWord(tokens[i], "where")) where = i;
    if (from != kNone && order == kNone && IsWord(tokens[i], "order")) order = i;
  }
  if (from == kNone || from < 2) return std::nullopt;
  size_t table_end = where != kNone ? where : order != kNone ? order : tokens.size();
  size_t table_length = table_end - from - 1;
  if (ColumnReferenceLength(tokens, from + 1, table_end) != table_length) return std::nullopt;

  PagedList list;
  const Token& last_name = tokens[table_end - 1];
  list.alias = std::string(last_name.text);
  list.table = NameText(last_name);
  if (table_length == 3) list.schema = NameText(tokens[from + 1]);
  // From its first token to its last: a line comment inside keeps the line
  // break that ends it.
  size_t list_begin = BeginOf(sql, tokens[1]);
  list.select_list = std::string(sql.substr(list_begin, EndOf(sql, tokens[from - 1]) - list_begin));
  list.from_where = std::string(sql.substr(shape.from, shape.body_end - shape.from));

  std::vector<std::pair<size_t, size_t>> items = TopLevelItems(tokens, 1, from);
  for (auto [begin, end] : items)
    if (!IsPlainColumn(tokens, begin, end)) list.per_row_work = true;

  if (order == kNone) return list;
  if (order + 2 >= tokens.size() || !IsWord(tokens[order + 1], "by")) return std::nullopt;
  list.order = std::string(sql.substr(BeginOf(sql, tokens[order + 2]),
                                      shape.end - BeginOf(sql, tokens[order + 2])));
  bool leading = true;
  for (auto [begin, end] : TopLevelItems(tokens, order + 2, tokens.size())) {
    if (begin == end) return std::nullopt;
    std::string item(sql.substr(BeginOf(sql, tokens[begin]),
                                EndOf(sql, tokens[end - 1]) - BeginOf(sql, tokens[begin])));
    size_t reference_begin = begin, reference_end = end;
    if (tokens[begin].kind == TokenKind::kNumber) {
      // An ordinal counts the select list, which the inner rows do not
      // have: it becomes the column it names.
      std::string_view digits = tokens[begin].text;
      if (digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
      size_t n = std::stoul(std::string(digits));
      if (n < 1 || n > items.size() || !IsPlainColumn(tokens, items[n - 1].first, items[n - 1].second))
        return std::nullopt;
      reference_begin = items[n - 1].first;
      reference_end = items[n - 1].second;
      const Token& first = tokens[reference_begin];
      const Token& last =
          tokens[reference_begin + ColumnReferenceLength(tokens, reference_begin, reference_end) - 1];
      std::string column(sql.substr(BeginOf(sql, first), EndOf(sql, last) - BeginOf(sql, first)));
      item = column + item.substr(digits.size());
    }
    if (!list.inner_order.empty()) list.inner_order += ", ";
    list.inner_order += item;
    size_t length = ColumnReferenceLength(tokens, reference_begin, reference_end);
    // Only a column with nothing but a direction after it orders by that column.
    for (size_t i = begin + (reference_begin == begin ? length : 1); i < end; ++i)
      if (!IsWord(tokens[i], "asc") && !IsWord(tokens[i], "desc")) length = 0;
    leading = leading && length > 0;
    if (leading) list.leading_order_columns.push_back(FoldedName(tokens[reference_begin + length - 1]));
  }
  return list;
}

std::string PagedListWindow(const PagedList& list, const std::vector<std::string>& tiebreak,
                            std::int64_t offset, std::int64_t limit) {
  std::string window = LimitOffset(offset, limit);
  std::string then;
  for (const std::string& name : tiebreak) then += ", " + name;
  if (!list.per_row_work) {
    std::string query = "SELECT " + list.select_list + " " + list.from_where;
    if (!list.order.empty()) query += " ORDER BY " + list.order + then;
    return query + window;
  }
  std::string inner = "SELECT * " + list.from_where;
  if (!list.order.empty()) inner += " ORDER BY " + list.inner_order + then;
  std::string query =
      "SELECT " + list.select_list + " FROM (" + inner + window + ") AS " + list.alias;
  if (!list.order.empty()) query += " ORDER BY " + list.order + then;
  return query;
}

std::string LimitedWindow(std::string_view sql, std::int64_t offset, std::int64_t limit) {
  return WithWindowClause(sql, LimitOffset(offset, limit));
}

std::string WindowQuery(std::string_view sql, std::int64_t offset, const Dialect& dialect) {
  return WithWindowClause(sql, dialect.OffsetClause(offset));
}

}  // namespace tabrix::sql
