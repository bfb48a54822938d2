// Variants as JSON, for tools that drive the component from outside.
//
// Every Variant is written as an object naming its subtype:
//   {"type":"Empty"}  {"type":"Null"}  {"type":"Boolean","value":true}
//   {"type":"Long","value":3}  {"type":"Double","value":1.5}
//   {"type":"Currency","value":"12.3400"}   (four decimals, invariant)
//   {"type":"Decimal","value":"12345678901234567.5"}   (every digit, invariant)
//   {"type":"Date","value":"2004-03-05 09:07:30"}   (always date and time)
//   {"type":"String","value":"..."}  {"type":"Binary","base64":"..."}
//   {"type":"Array","items":[...]}  {"type":"Object","class":"Recordset"}
// A Dictionary also shows its items ({"items":{"1": V, ...}}, keys as
// text) and a Field its Name, Type, Attributes and, when readable, Value.
//
// Reading accepts those forms (an Object only as a Field or a Dictionary)
// and plain JSON: a string is a String, a whole number a Long, another
// number a Double, true/false a Boolean, null Null. The bare word `empty`
// is Empty. Anything else is refused with VariantJsonError. Numbers and
// dates never go through the regional settings here.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/variant.h"

namespace tabrix::site {

using Json = nlohmann::ordered_json;

// A JSON text or value that names no Variant; what() says why.
class VariantJsonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `value` in the tagged form above. Never raises: a value that cannot be
// shown in full (a date outside the calendar) is shown as far as it can be.
Json VariantToJson(const Variant& value);

// The Variant a JSON value stands for (tagged or plain form). Raises
// VariantJsonError for anything else.
Variant VariantFromJson(const Json& json);

// The Variant a command-line word stands for: `empty`, or a JSON text read
// as VariantFromJson does. Raises VariantJsonError.
Variant VariantFromText(std::string_view text);

// Text of a JSON value for output. Invalid UTF-8 in strings is replaced
// with U+FFFD rather than refused, since database text may hold any bytes.
std::string DumpJson(const Json& json);

// Invariant texts shared with the configuration reader.
std::string CurrencyInvariantText(CurrencyValue value);
std::string DateInvariantText(DateValue value);
// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" to a Date; Raises VariantJsonError
// for text of another shape or a day that is not on the calendar.
DateValue ParseInvariantDate(std::string_view text);

}  // namespace tabrix::site
