// What the add and update forms posted, converted for the field it goes to:
// numbers through CheckNum and money as the number typed, once the text
// reads as one in the regional form; yes/no from the regional words or a
// number; dates from the date input's five lists through the regional date
// reading; every other type as the text stands.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "pages/record_form_parts.h"
#include "values/sql_literal.h"

namespace tabrix::record_form {

namespace {

bool IsNumberType(long type) {
  switch (type) {
    case adodb::kSmallInt: case adodb::kInteger: case adodb::kSingle: case adodb::kDouble:
    case adodb::kIDispatch: case adodb::kBoolean: case adodb::kDecimal:
    case adodb::kUnsignedTinyInt: case adodb::kBigInt: case adodb::kGUID: case adodb::kBinary:
    case adodb::kNumeric:
      return true;
    default:
      return false;
  }
}

bool IsDateType(long type) { return type == adodb::kDate || type == adodb::kDBTimeStamp; }

// The date the lists of field `name` posted, composed as "y-m-d h:i"
// ("2008-3-7 14:05"). A date-only field's input has no hour and minute
// lists, and a date-time's may be left empty: an empty time " :" reads as
// that day at midnight. Every list left empty is Null for a field that may
// be empty. Raises 13 naming the field for parts that make no date (the
// day, month or year left empty while another part is chosen, 30
// February).
Variant PostedDate(Tabrix1& page, const adodb::Field& field) {
  const std::string& name = field.Name();
  auto part = [&](const char* suffix) { return ConcatText(page.FieldItem("", name, suffix)); };
  std::string year = part("_y"), month = part("_m"), day = part("_d");
  std::string time = part("_h") + ":" + part("_i");
  int empty_parts = year.empty() + month.empty() + day.empty();
  if (empty_parts == 3 && time == ":") {
    if ((field.Attributes() & adodb::kIsNullable) != 0) return Variant::Null();
    RaiseRequestError(kErrTypeMismatch, "the field '" + name + "' needs a date: choose one");
  }
  if (empty_parts > 0)
    RaiseRequestError(kErrTypeMismatch, "the field '" + name +
                                            "' was given only part of a date: choose the day, "
                                            "the month and the year, or leave them all empty");
  std::string date = year + "-" + month + "-" + day;
  std::string composed = date + " " + time;
  try {
    return Variant(ToDate(Variant(time == ":" ? date : composed)));
  } catch (const ScriptError& e) {
    if (e.number() != kErrTypeMismatch) throw;
    RaiseRequestError(kErrTypeMismatch,
                      "the field '" + name + "' was given \"" + (time == ":" ? date : composed) +
                          "\", which is no date");
  }
}

// Whether `value` reads as a number the way people write one here: the
// regional decimal symbol, and the grouping symbol only between groups of
// three digits of the whole part ("1,234" but not "1,5" under en-US).
bool ReadsAsNumber(const Variant& value) {
  if (!value.IsString()) return IsNumeric(value);
  if (!IsNumeric(value)) return false;
  const Locale& locale = Locale::Current();
  std::string_view text = value.string();
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  size_t whole_end = std::min(text.find(locale.decimal_symbol()), text.find_first_of("eE"));
  std::string_view whole = text.substr(0, std::min(whole_end, text.size()));
  const std::string& group = locale.group_symbol();
  if (group.empty() || whole.find(group) == std::string_view::npos) return true;
  size_t start = 0;
  bool first = true;
  while (true) {
    size_t at = whole.find(group, start);
    size_t digits = (at == std::string_view::npos ? whole.size() : at) - start;
    if (first ? (digits == 0 || digits > 3) : digits != 3) return false;
    if (at == std::string_view::npos) return true;
    first = false;
    start = at + group.size();
  }
}

}  // namespace

Variant PostedValue(Tabrix1& page, const adodb::Field& field) {
  const std::string& name = field.Name();
  long type = field.Type();
  Variant posted = page.FieldItem("", name);
  // An empty number keeps its old reading (0; the empty text for money);
  // any other text must read as the field's type, or nothing is written.
  bool empty = IsEmptyText(posted);
  if (type == adodb::kBoolean && !empty && posted.IsString()) {
    if (std::optional<bool> word = Locale::Current().ParseBoolean(posted.string()))
      return Variant(*word);
  }
  if (IsNumberType(type) || type == adodb::kCurrency) {
    if (!empty && !ReadsAsNumber(posted)) {
      RaiseRequestError(kErrTypeMismatch, "the field '" + name + "' was given \"" +
                                              ConcatText(posted) + "\", which is not " +
                                              (type == adodb::kBoolean ? "yes or no" : "a number"));
    }
    if (type != adodb::kCurrency) return page.CheckNum(posted);
    if (empty) return posted;
    // Money is stored as the number typed, whatever the regional symbols.
    if (std::optional<Variant> typed = TypedNumber(posted)) return *typed;
    return page.CheckNum(posted);
  }
  if (IsDateType(type)) return PostedDate(page, field);
  return posted;
}

std::vector<Assignment> PostedValues(Tabrix1& page, adodb::Recordset& rs,
                                     const std::function<bool(const Variant&)>& writes) {
  std::vector<Assignment> values;
  long count = rs.fields().Count();
  for (long position = 0; position < count; ++position) {
    Variant field = FieldObject(rs, position);
    if (!writes(field)) continue;
    const auto& object = ObjectAs<adodb::Field>(field);
    values.push_back({object.Name(), PostedValue(page, object)});
  }
  return values;
}

}  // namespace tabrix::record_form
