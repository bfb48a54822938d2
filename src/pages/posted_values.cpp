// What the add and update forms posted, converted for the field it goes to:
// numbers through CheckNum, dates from the date input's five lists through
// the regional date reading, and every other type, currency included, as
// the text stands.
#include <string>

#include "host/variant_ops.h"
#include "pages/record_form_parts.h"

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
// lists, so its time " :" is empty and the date reads as that day at
// midnight. Raises 13 naming the field for parts that make no date (one
// missing, 30 February).
DateValue PostedDate(const Tabrix1& page, const std::string& name) {
  auto part = [&](const char* suffix) { return ConcatText(page.Param(name + suffix)); };
  std::string day = part("_y") + "-" + part("_m") + "-" + part("_d");
  std::string time = part("_h") + ":" + part("_i");
  std::string composed = day + " " + time;
  try {
    return ToDate(Variant(time == ":" ? day : composed));
  } catch (const ScriptError& e) {
    if (e.number() != kErrTypeMismatch) throw;
    RaiseError(kErrTypeMismatch,
               "the field '" + name + "' was given \"" + composed + "\", which is no date");
  }
}

}  // namespace

Variant PostedValue(Tabrix1& page, const adodb::Field& field) {
  const std::string& name = field.Name();
  long type = field.Type();
  if (IsNumberType(type)) return page.CheckNum(page.Param(name));
  if (IsDateType(type)) return Variant(PostedDate(page, name));
  return page.Param(name);
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
