#include "host/sql/date_literal.h"

#include <cstdio>

namespace tabrix::sql {

namespace {

// Reads 1..max_digits digits at `pos`; advances `pos`.
std::optional<int> ReadNumber(std::string_view text, size_t& pos, size_t max_digits) {
  size_t start = pos;
  int value = 0;
  while (pos < text.size() && pos - start < max_digits && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == start) return std::nullopt;
  // A longer run of digits is another shape, not a truncated date part.
  if (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') return std::nullopt;
  return value;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

std::optional<DateLiteral> ParseDateLiteral(std::string_view text) {
  DateLiteral date;
  size_t pos = 0;
  auto year = ReadNumber(text, pos, 4);
  if (!year || pos >= text.size()) return std::nullopt;
  char separator = text[pos];
  if (separator != '-' && separator != '/') return std::nullopt;
  ++pos;
  auto month = ReadNumber(text, pos, 2);
  if (!month || !Expect(text, pos, separator)) return std::nullopt;
  auto day = ReadNumber(text, pos, 2);
  if (!day) return std::nullopt;
  date.year = *year, date.month = *month, date.day = *day;
  if (pos == text.size()) return date;

  if (!Expect(text, pos, ' ')) return std::nullopt;
  auto hour = ReadNumber(text, pos, 2);
  if (!hour || !Expect(text, pos, ':')) return std::nullopt;
  auto minute = ReadNumber(text, pos, 2);
  if (!minute) return std::nullopt;
  date.has_time = true;
  date.hour = *hour, date.minute = *minute;
  if (pos == text.size()) return date;

  if (!Expect(text, pos, ':')) return std::nullopt;
  auto second = ReadNumber(text, pos, 2);
  if (!second) return std::nullopt;
  date.second = *second;
  if (pos == text.size()) return date;

  if (!Expect(text, pos, '.')) return std::nullopt;
  size_t fraction_start = pos;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
  if (pos == fraction_start || pos != text.size()) return std::nullopt;
  date.fraction = std::string(text.substr(fraction_start));
  return date;
}

std::string IsoText(const DateLiteral& date) {
  char buffer[64];
  if (!date.has_time) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
    return buffer;
  }
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", date.year, date.month,
                date.day, date.hour, date.minute, date.second);
  std::string text = buffer;
  if (!date.fraction.empty()) text += "." + date.fraction;
  return text;
}

}  // namespace tabrix::sql
