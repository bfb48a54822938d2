#include "host/locale/date_text.h"

namespace tabrix::regional {

namespace {

bool IsPatternLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string Padded(int value, size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

// One field of `count` letters `letter`; unknown fields write nothing.
void AppendField(std::string& out, char letter, size_t count, const CivilTime& t,
                 const DateSymbols& symbols) {
  size_t width = count >= 2 ? 2 : 1;
  switch (letter) {
    case 'y': case 'Y': case 'u': case 'r':
      out += Padded(t.year, 4);
      break;
    case 'M': case 'L':
      if (count >= 4)
        out += symbols.months[t.month - 1];
      else if (count == 3)
        out += symbols.months_abbreviated[t.month - 1];
      else
        out += Padded(t.month, width);
      break;
    case 'd': out += Padded(t.day, width); break;
    case 'H': out += Padded(t.hour, width); break;
    case 'k': out += Padded(t.hour == 0 ? 24 : t.hour, width); break;
    case 'K': out += Padded(t.hour % 12, width); break;
    case 'h': out += Padded(t.hour % 12 == 0 ? 12 : t.hour % 12, width); break;
    case 'm': out += Padded(t.minute, width); break;
    case 's': out += Padded(t.second, width); break;
    case 'a': case 'b': case 'B': out += t.hour < 12 ? symbols.am : symbols.pm; break;
    default: break;
  }
}

}  // namespace

DateSymbols EnglishDateSymbols() {
  DateSymbols s;
  s.months = {"January", "February", "March",     "April",   "May",      "June",
              "July",    "August",   "September", "October", "November", "December"};
  s.months_abbreviated = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return s;
}

std::string FormatDatePattern(std::string_view pattern, const CivilTime& t,
                              const DateSymbols& symbols) {
  std::string out;
  size_t i = 0;
  while (i < pattern.size()) {
    char c = pattern[i];
    if (c == '\'') {
      // 'literal', with '' standing for one apostrophe inside or outside.
      if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
        out += '\'';
        i += 2;
        continue;
      }
      ++i;
      while (i < pattern.size()) {
        if (pattern[i] == '\'') {
          if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
            out += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        out += pattern[i++];
      }
    } else if (IsPatternLetter(c)) {
      size_t count = 0;
      while (i < pattern.size() && pattern[i] == c) ++i, ++count;
      AppendField(out, c, count, t, symbols);
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

std::string DateText(DateValue d, const DateSymbols& symbols) {
  CivilTime t = SplitDate(d);
  bool has_time = t.hour != 0 || t.minute != 0 || t.second != 0;
  // Day 0 is every serial whose whole number is 0, from -0.99 up to 0.99.
  bool day_zero = t.year == 1899 && t.month == 12 && t.day == 30;
  if (day_zero) return FormatDatePattern(symbols.time_pattern, t, symbols);
  std::string out = FormatDatePattern(symbols.date_pattern, t, symbols);
  if (has_time) out += " " + FormatDatePattern(symbols.time_pattern, t, symbols);
  return out;
}

}  // namespace tabrix::regional
