// The date input: drop-down lists for day, month and year, and for hour and
// minute when asked. The lists are named after a base name (N_d, N_m, N_y,
// N_h, N_i) so that the date range criteria and the saving pages read the
// submitted parts back by the same names.
#include <algorithm>
#include <string>

#include "component/tabrix1.h"
#include "render/date_input.h"
#include "host/clock.h"
#include "host/html.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

constexpr int kFirstListedYear = 1920;
// How far past the current year the year list reaches.
constexpr int kYearsAhead = 10;
constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;

// Whether `v` is the number `n` (text that reads as that number counts too).
bool IsNumber(const Variant& v, long n) {
  return !v.IsNull() && IsNumeric(v) && ToDouble(v) == static_cast<double>(n);
}

// The year a selected-year text stands for, when it is exactly the decimal
// text of a year from 1 to 9999 (only such a text can select an option);
// 0 otherwise.
int ShownYear(const std::string& text) {
  if (text.empty() || text.size() > 4 || text[0] == '0') return 0;
  int year = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    year = year * 10 + (c - '0');
  }
  return year >= kMinYear && year <= kMaxYear ? year : 0;
}

std::string TwoDigits(int v) { return v < 10 ? "0" + std::to_string(v) : std::to_string(v); }

// Writes the options first..last, each as one piece; the one whose number
// has the text `selected` is marked selected (exact text comparison, so
// "07" selects nothing).
void WriteOptions(Tabrix1& object, int first, int last, const std::string& selected,
                  bool two_digit_labels) {
  for (int v = first; v <= last; ++v) {
    std::string number = std::to_string(v);
    std::string piece = "<Option value=\"" + number + "\"";
    if (selected == number) piece += " selected";
    piece += ">";
    piece += two_digit_labels ? TwoDigits(v) : number;
    piece += "</option>";
    object.Write(piece);
  }
}

std::string OpenSelect(const std::string& name, const char* suffix) {
  return "<select name=\"" + HtmlEscape(name + suffix) + "\" class=\"select\">";
}

}  // namespace

namespace render {

void WriteDateLists(Tabrix1& page, const std::string& name, bool with_time,
                    const DateParts& parts, bool offer_empty, int this_year) {
  std::string day = ToText(parts.day);
  std::string month = ToText(parts.month);
  std::string year = ToText(parts.year);

  // The year list runs from 1920 to ten years ahead, and stretches to take
  // in a year to show that lies outside, so that year stays selected and a
  // form posted back unchanged keeps it.
  int first_year = kFirstListedYear;
  int last_year = this_year + kYearsAhead;
  if (int shown = ShownYear(year); shown != 0) {
    first_year = std::min(first_year, shown);
    last_year = std::max(last_year, shown);
  }

  // A date that may be empty offers an empty first choice in each list,
  // selected where that part is empty.
  auto empty_choice = [&](const std::string& selected) {
    if (offer_empty)
      page.Write(std::string("<Option value=\"\"") + (selected.empty() ? " selected" : "") +
                 ">--</option>");
  };
  page.Write(OpenSelect(name, "_d"));
  empty_choice(day);
  WriteOptions(page, 1, 31, day, true);
  page.Write("</select>" + OpenSelect(name, "_m"));
  empty_choice(month);
  WriteOptions(page, 1, 12, month, true);
  page.Write("</select>" + OpenSelect(name, "_y"));
  empty_choice(year);
  WriteOptions(page, first_year, last_year, year, false);
  page.Write("</select>");

  if (with_time) {
    std::string hour = ToText(parts.hour);
    std::string minute = ToText(parts.minute);
    page.Write(OpenSelect(name, "_h"));
    empty_choice(hour);
    WriteOptions(page, 0, 23, hour, true);
    page.Write("</select>:");
    page.Write(OpenSelect(name, "_i"));
    empty_choice(minute);
    WriteOptions(page, 0, 59, minute, true);
    page.Write("</select>");
  }
}

}  // namespace render

Variant Tabrix1::DateSelectKoy(const Variant& Name, const Variant& Tip, Variant& D, Variant& M,
                               Variant& Y, Variant& H, Variant& i) {
  // One reading of the clock, so the defaults cannot straddle midnight.
  CivilTime now = SplitDate(Now());
  if (IsEmptyText(D)) D = Variant(now.day);
  if (IsEmptyText(M)) M = Variant(now.month);
  if (IsEmptyText(Y)) Y = Variant(now.year);
  if (IsEmptyText(H)) H = Variant(now.hour);
  if (IsEmptyText(i)) i = Variant(now.minute);
  render::WriteDateLists(*this, ConcatText(Name), IsNumber(Tip, 2), {D, M, Y, H, i},
                         /*offer_empty=*/false, now.year);
  return Variant();
}

}  // namespace tabrix
