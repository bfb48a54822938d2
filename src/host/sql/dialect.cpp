#include "host/sql/dialect.h"

namespace tabrix::sql {

std::string Dialect::QuoteName(std::string_view name) const {
  std::string quoted = "\"";
  for (char c : name) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  quoted += '"';
  return quoted;
}

std::string Dialect::Word(std::string_view word) const { return std::string(word); }

std::string Dialect::StringLiteral(std::string_view inner) const {
  // The component doubles each bar of a value, as it doubles apostrophes.
  std::string literal = "'";
  for (size_t i = 0; i < inner.size(); ++i) {
    literal += inner[i];
    if (inner[i] == '|' && i + 1 < inner.size() && inner[i + 1] == '|') ++i;
  }
  literal += '\'';
  return literal;
}

std::string Dialect::DateLiteralText(const DateLiteral& date) const {
  return "'" + IsoText(date) + "'";
}

std::string Dialect::LimitClause(std::string_view count) const {
  return " LIMIT " + std::string(count);
}

std::string Dialect::OffsetClause(std::int64_t offset) const {
  return " OFFSET " + std::to_string(offset);
}

std::string SqliteDialect::OffsetClause(std::int64_t offset) const {
  return " LIMIT -1 OFFSET " + std::to_string(offset);
}

}  // namespace tabrix::sql
