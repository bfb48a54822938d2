// Reading dates from text: the ISO form, then the regional forms.
#include <ctime>
#include <vector>

#include "host/locale/date_text.h"
#include "host/locale/locale.h"

namespace tabrix::regional {

namespace {

struct Token {
  bool is_number = false;
  std::string text;
  int value = 0;      // numbers
  size_t digits = 0;  // numbers: how many digits were written
  std::string separator_after;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '/' || c == '-' || c == '.' || c == ',' || c == ':';
}
bool IsWordByte(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u >= 0x80;
}

// No-break spaces (U+00A0, U+202F) read as blanks; blanks around are cut.
std::string NormalizedBlanks(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i, 2) == "\xC2\xA0") {
      out += ' ';
      ++i;
    } else if (text.substr(i, 3) == "\xE2\x80\xAF") {
      out += ' ';
      i += 2;
    } else {
      out += text[i];
    }
  }
  size_t first = out.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return out.substr(first, out.find_last_not_of(" \t") - first + 1);
}

int CurrentYear() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

// Two-digit years fall in 1930..2029.
int FullYear(const Token& t) {
  if (t.digits > 2) return t.value;
  return t.value < 30 ? 2000 + t.value : 1900 + t.value;
}

bool ValidTime(int hour, int minute, int second) {
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

bool ValidDay(int year, int month, int day) {
  return year >= 100 && IsValidCivilDate(year, month, day);
}

// Reads min..max digits at `pos` into `value`; false when fewer than min.
bool ReadDigits(std::string_view s, size_t& pos, size_t min, size_t max, int& value) {
  size_t start = pos;
  value = 0;
  while (pos < s.size() && pos - start < max && IsDigit(s[pos]))
    value = value * 10 + (s[pos++] - '0');
  return pos - start >= min;
}

// An offset from UTC at `pos`: "Z", or "+" or "-" and "HH", "HH:MM" or
// "HHMM". Moves `pos` past it; false when the text there is no offset.
bool SkipZone(std::string_view s, size_t& pos) {
  if (pos < s.size() && s[pos] == 'Z') return ++pos, true;
  if (pos >= s.size() || (s[pos] != '+' && s[pos] != '-')) return false;
  ++pos;
  int hours = 0, minutes = 0;
  if (!ReadDigits(s, pos, 2, 2, hours)) return false;
  bool colon = pos < s.size() && s[pos] == ':';
  if (colon) ++pos;
  if ((colon || pos < s.size()) && !ReadDigits(s, pos, 2, 2, minutes)) return false;
  return hours <= 23 && minutes <= 59;
}

}  // namespace

std::optional<std::optional<DateValue>> ReadIsoDate(std::string_view s) {
  CivilTime t;
  double fraction = 0;  // of a second
  size_t pos = 0;
  auto expect = [&](char c) { return pos < s.size() && s[pos] == c ? (++pos, true) : false; };
  if (!ReadDigits(s, pos, 4, 4, t.year) || !expect('-') || !ReadDigits(s, pos, 1, 2, t.month) ||
      !expect('-') || !ReadDigits(s, pos, 1, 2, t.day))
    return std::nullopt;
  if (pos < s.size()) {
    if (!expect(' ') && !expect('T')) return std::nullopt;
    if (!ReadDigits(s, pos, 1, 2, t.hour) || !expect(':') || !ReadDigits(s, pos, 2, 2, t.minute))
      return std::nullopt;
    if (expect(':')) {
      if (!ReadDigits(s, pos, 2, 2, t.second)) return std::nullopt;
      if (expect('.')) {
        if (pos >= s.size() || !IsDigit(s[pos])) return std::nullopt;
        for (double unit = 0.1; pos < s.size() && IsDigit(s[pos]); unit /= 10)
          fraction += unit * (s[pos++] - '0');
      }
    }
    // The clock time is kept as written: an offset names another place's
    // time, not a change of this one.
    if (pos < s.size() && !SkipZone(s, pos)) return std::nullopt;
    if (pos != s.size()) return std::nullopt;
  }
  if (!ValidDay(t.year, t.month, t.day) || !ValidTime(t.hour, t.minute, t.second))
    return std::optional<DateValue>();
  DateValue d = MakeDate(t);
  // The time of day counts forward from midnight on either side of day 0.
  double offset = fraction / 86400;
  d.serial = d.serial < 0 ? d.serial - offset : d.serial + offset;
  return std::optional<DateValue>(d);
}

namespace {

std::optional<std::vector<Token>> Tokenize(std::string_view s) {
  std::vector<Token> tokens;
  size_t pos = 0;
  if (!s.empty() && IsSeparator(s[0])) return std::nullopt;
  while (pos < s.size()) {
    Token t;
    if (IsDigit(s[pos])) {
      t.is_number = true;
      while (pos < s.size() && IsDigit(s[pos])) t.text += s[pos++];
      if (t.text.size() > 4) return std::nullopt;
      t.digits = t.text.size();
      t.value = std::stoi(t.text);
    } else if (IsWordByte(s[pos])) {
      while (pos < s.size() && IsWordByte(s[pos])) t.text += s[pos++];
    } else {
      return std::nullopt;
    }
    while (pos < s.size() && IsSeparator(s[pos])) t.separator_after += s[pos++];
    tokens.push_back(std::move(t));
  }
  return tokens;
}

bool SameWord(std::string_view word, std::string_view name) {
  std::string bare;
  for (char c : name)
    if (c != '.') bare += c;
  return !bare.empty() && EqualsIgnoreCase(word, bare);
}

// 1..12 for a month name of the locale or of English, else 0.
int MonthOfWord(std::string_view word, const DateSymbols& symbols) {
  static const DateSymbols kEnglish = EnglishDateSymbols();
  for (const DateSymbols* s : {&symbols, &kEnglish}) {
    for (int m = 0; m < 12; ++m)
      if (SameWord(word, s->months[m]) || SameWord(word, s->months_abbreviated[m])) return m + 1;
  }
  return 0;
}

// 0 for AM, 12 for PM, -1 for another word.
int DayPeriodOfWord(const Token& t, const DateSymbols& symbols) {
  if (t.is_number) return -1;
  if (EqualsIgnoreCase(t.text, symbols.am) || EqualsIgnoreCase(t.text, "AM")) return 0;
  if (EqualsIgnoreCase(t.text, symbols.pm) || EqualsIgnoreCase(t.text, "PM")) return 12;
  return -1;
}

// Finds the time ("H:MM[:SS] [AM|PM]" or "H AM|PM") among the tokens, stores
// it in `t` and removes its tokens. False when a time is there but invalid.
bool ExtractTime(std::vector<Token>& tokens, const DateSymbols& symbols, CivilTime& t) {
  size_t n = tokens.size();
  for (size_t i = 0; i < n; ++i) {
    if (!tokens[i].is_number) continue;
    size_t j = i;
    int hour = tokens[i].value, minute = 0, second = 0;
    if (tokens[i].separator_after == ":") {
      if (i + 1 >= n || !tokens[i + 1].is_number) return false;
      minute = tokens[i + 1].value;
      j = i + 2;
      if (tokens[i + 1].separator_after == ":") {
        if (j >= n || !tokens[j].is_number) return false;
        second = tokens[j++].value;
      }
      if (tokens[j - 1].separator_after.find(':') != std::string::npos) return false;
    } else if (i + 1 < n && DayPeriodOfWord(tokens[i + 1], symbols) >= 0) {
      j = i + 1;
    } else {
      continue;
    }
    if (j < n && DayPeriodOfWord(tokens[j], symbols) >= 0) {
      if (hour < 1 || hour > 12) return false;
      hour = hour % 12 + DayPeriodOfWord(tokens[j], symbols);
      ++j;
    }
    if (!ValidTime(hour, minute, second)) return false;
    t.hour = hour, t.minute = minute, t.second = second;
    tokens.erase(tokens.begin() + static_cast<long>(i), tokens.begin() + static_cast<long>(j));
    return true;
  }
  return true;
}

// Between the numbers of a date without a month name only "/", "-" or "."
// may stand, with blanks around.
bool NumericSeparators(const std::vector<Token>& tokens) {
  for (size_t i = 0; i + 1 < tokens.size(); ++i) {
    std::string bare;
    for (char c : tokens[i].separator_after)
      if (c != ' ' && c != '\t') bare += c;
    if (bare != "/" && bare != "-" && bare != ".") return false;
  }
  return true;
}

// The day month and year in the regional order, or swapped when only the
// swapped order names a day.
bool SetDay(CivilTime& t, int year, int month, int day) {
  if (ValidDay(year, month, day)) {
    t.year = year, t.month = month, t.day = day;
    return true;
  }
  if (ValidDay(year, day, month)) {
    t.year = year, t.month = day, t.day = month;
    return true;
  }
  return false;
}

bool ResolveDay(const std::vector<Token>& tokens, const DateSymbols& symbols, CivilTime& t) {
  std::vector<const Token*> numbers;
  int month_word = 0;
  for (const Token& tok : tokens) {
    if (tok.is_number) {
      numbers.push_back(&tok);
    } else {
      if (month_word != 0) return false;
      month_word = MonthOfWord(tok.text, symbols);
      if (month_word == 0) return false;
    }
  }
  auto looks_like_year = [](const Token* n) { return n->digits >= 3 || n->value > 31; };

  if (month_word != 0) {
    if (numbers.size() == 2) {
      bool year_first = numbers[0]->digits >= 3;
      const Token* year = numbers[year_first ? 0 : 1];
      const Token* day = numbers[year_first ? 1 : 0];
      return SetDay(t, FullYear(*year), month_word, day->value);
    }
    if (numbers.size() == 1) {
      if (looks_like_year(numbers[0])) return SetDay(t, FullYear(*numbers[0]), month_word, 1);
      return SetDay(t, CurrentYear(), month_word, numbers[0]->value);
    }
    return false;
  }

  if (!NumericSeparators(tokens)) return false;
  if (numbers.size() == 3) {
    const Token &a = *numbers[0], &b = *numbers[1], &c = *numbers[2];
    if (a.digits >= 3 || symbols.order == DateOrder::YearMonthDay)
      return SetDay(t, FullYear(a), b.value, c.value);
    if (symbols.order == DateOrder::DayMonthYear) return SetDay(t, FullYear(c), b.value, a.value);
    return SetDay(t, FullYear(c), a.value, b.value);
  }
  if (numbers.size() == 2) {
    const Token &a = *numbers[0], &b = *numbers[1];
    if (looks_like_year(&b)) return SetDay(t, FullYear(b), a.value, 1);
    if (looks_like_year(&a)) return SetDay(t, FullYear(a), b.value, 1);
    if (symbols.order == DateOrder::DayMonthYear) return SetDay(t, CurrentYear(), b.value, a.value);
    return SetDay(t, CurrentYear(), a.value, b.value);
  }
  return false;
}

}  // namespace

std::optional<DateValue> ParseDate(std::string_view text, const DateSymbols& symbols) {
  std::string s = NormalizedBlanks(text);
  if (s.empty()) return std::nullopt;
  if (auto iso = ReadIsoDate(s)) return *iso;

  auto tokens = Tokenize(s);
  if (!tokens) return std::nullopt;
  // A date may end in "." ("5. März 2004.", "d.M.yy.") but in no other mark.
  const std::string& tail = tokens->back().separator_after;
  if (tail.find_first_not_of(" \t.") != std::string::npos) return std::nullopt;

  CivilTime t;
  size_t count_before = tokens->size();
  if (!ExtractTime(*tokens, symbols, t)) return std::nullopt;
  bool has_time = tokens->size() != count_before;
  if (tokens->empty()) {
    if (!has_time) return std::nullopt;
    return MakeDate(t);
  }
  if (!ResolveDay(*tokens, symbols, t)) return std::nullopt;
  return MakeDate(t);
}

}  // namespace tabrix::regional
