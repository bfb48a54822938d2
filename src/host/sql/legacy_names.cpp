#include "host/sql/legacy_names.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "host/text/utf8.h"

namespace tabrix::sql {

namespace {

// The keywords of SQLite and the reserved words of PostgreSQL and of
// standard SQL that cannot name a column bare in one of them, upper case,
// sorted; plus the legacy dialect's TOP.
constexpr std::string_view kKeywords[] = {
    "ABORT", "ACTION", "ADD", "AFTER", "ALL", "ALTER", "ALWAYS", "ANALYSE", "ANALYZE", "AND",
    "ANY", "ARRAY", "AS", "ASC", "ASYMMETRIC", "ATTACH", "AUTHORIZATION", "AUTOINCREMENT",
    "BEFORE", "BEGIN", "BETWEEN", "BINARY", "BOTH", "BY", "CASCADE", "CASE", "CAST", "CHECK",
    "COLLATE", "COLLATION", "COLUMN", "COMMIT", "CONCURRENTLY", "CONFLICT", "CONSTRAINT",
    "CREATE", "CROSS", "CURRENT", "CURRENT_CATALOG", "CURRENT_DATE", "CURRENT_ROLE",
    "CURRENT_SCHEMA", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "DATABASE",
    "DEFAULT", "DEFERRABLE", "DEFERRED", "DELETE", "DESC", "DETACH", "DISTINCT", "DO", "DROP",
    "EACH", "ELSE", "END", "ESCAPE", "EXCEPT", "EXCLUDE", "EXCLUSIVE", "EXISTS", "EXPLAIN",
    "FAIL", "FALSE", "FETCH", "FILTER", "FIRST", "FOLLOWING", "FOR", "FOREIGN", "FREEZE",
    "FROM", "FULL", "GENERATED", "GLOB", "GRANT", "GROUP", "GROUPS", "HAVING", "IF", "IGNORE",
    "ILIKE", "IMMEDIATE", "IN", "INDEX", "INDEXED", "INITIALLY", "INNER", "INSERT", "INSTEAD",
    "INTERSECT", "INTO", "IS", "ISNULL", "JOIN", "KEY", "LAST", "LATERAL", "LEADING", "LEFT",
    "LIKE", "LIMIT", "LOCALTIME", "LOCALTIMESTAMP", "MATCH", "MATERIALIZED", "NATURAL", "NO",
    "NOT", "NOTHING", "NOTNULL", "NULL", "NULLS", "OF", "OFFSET", "ON", "ONLY", "OR", "ORDER",
    "OTHERS", "OUTER", "OVER", "OVERLAPS", "PARTITION", "PLACING", "PLAN", "PRAGMA",
    "PRECEDING", "PRIMARY", "QUERY", "RAISE", "RANGE", "RECURSIVE", "REFERENCES", "REGEXP",
    "REINDEX", "RELEASE", "RENAME", "REPLACE", "RESTRICT", "RETURNING", "RIGHT", "ROLLBACK",
    "ROW", "ROWS", "SAVEPOINT", "SELECT", "SESSION_USER", "SET", "SIMILAR", "SOME",
    "SYMMETRIC", "TABLE", "TABLESAMPLE", "TEMP", "TEMPORARY", "THEN", "TIES", "TO", "TOP",
    "TRAILING", "TRANSACTION", "TRIGGER", "TRUE", "UNBOUNDED", "UNION", "UNIQUE", "UPDATE",
    "USER", "USING", "VACUUM", "VALUES", "VARIADIC", "VERBOSE", "VIEW", "VIRTUAL", "WHEN",
    "WHERE", "WINDOW", "WITH", "WITHOUT",
};

}  // namespace

bool IsReservedWord(std::string_view name) {
  if (name.size() > 20) return false;
  std::string upper(name);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return std::binary_search(std::begin(kKeywords), std::end(kKeywords), std::string_view(upper));
}

namespace {

bool IsAsciiLetter(char32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsAsciiDigit(char32_t c) { return c >= '0' && c <= '9'; }

}  // namespace

bool IsPlainName(std::string_view name) {
  if (name.empty() || !text::IsValidUtf8(name)) return false;
  std::u32string code_points = text::Decode(name);
  for (size_t i = 0; i < code_points.size(); ++i) {
    char32_t c = code_points[i];
    bool letter = IsAsciiLetter(c) || c == '_' ||
                  (c >= 0x80 && u_isalpha(static_cast<UChar32>(c)));
    bool digit = IsAsciiDigit(c) || (c >= 0x80 && u_isdigit(static_cast<UChar32>(c)));
    if (!letter && !(digit && i > 0)) return false;
  }
  return !IsReservedWord(name);
}

std::string BracketedName(std::string_view name) {
  std::string out = "[";
  for (char c : name) {
    out += c;
    if (c == ']') out += ']';
  }
  out += ']';
  return out;
}

std::string LegacyName(std::string_view name) {
  return IsPlainName(name) ? std::string(name) : BracketedName(name);
}

}  // namespace tabrix::sql
