#include "site/variant_json.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

#include "host/adodb/field.h"
#include "host/decimal.h"
#include "host/scripting/dictionary.h"
#include "host/variant_ops.h"

namespace tabrix::site {

namespace {

// Containers can hold themselves; past this depth their items are left out.
constexpr int kMaxDepth = 32;

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Encode(const Bytes& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    size_t n = std::min<size_t>(3, bytes.size() - i);
    std::uint32_t chunk = bytes[i] << 16;
    if (n > 1) chunk |= bytes[i + 1] << 8;
    if (n > 2) chunk |= bytes[i + 2];
    out += kBase64Alphabet[(chunk >> 18) & 63];
    out += kBase64Alphabet[(chunk >> 12) & 63];
    out += n > 1 ? kBase64Alphabet[(chunk >> 6) & 63] : '=';
    out += n > 2 ? kBase64Alphabet[chunk & 63] : '=';
  }
  return out;
}

Bytes Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) throw VariantJsonError("base64 text must come in groups of four");
  Bytes out;
  for (size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t chunk = 0;
    int padding = 0;
    for (size_t j = 0; j < 4; ++j) {
      char c = text[i + j];
      // Padding only at the end of the last group, in its last two places.
      if (c == '=' && i + 4 == text.size() && j >= 2 && (j == 3 || text[i + 3] == '=')) {
        ++padding;
        chunk <<= 6;
        continue;
      }
      size_t pos = kBase64Alphabet.find(c);
      if (pos == std::string_view::npos || padding > 0)
        throw VariantJsonError("invalid base64 text");
      chunk = (chunk << 6) | static_cast<std::uint32_t>(pos);
    }
    out.push_back(static_cast<std::uint8_t>(chunk >> 16));
    if (padding < 2) out.push_back(static_cast<std::uint8_t>(chunk >> 8));
    if (padding < 1) out.push_back(static_cast<std::uint8_t>(chunk));
  }
  return out;
}

std::string DoubleInvariantText(double d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", d);
  return buf;
}

// A dictionary key as the text of a JSON member name.
std::string KeyText(const Variant& key) {
  switch (key.type()) {
    case VarType::String: return key.string();
    case VarType::Long: return std::to_string(key.long_value());
    case VarType::Double: return DoubleInvariantText(key.double_value());
    case VarType::Currency: return CurrencyInvariantText(key.currency());
    case VarType::Decimal: return DecimalText(key.decimal(), ".");
    case VarType::Date: return DateInvariantText(key.date());
    case VarType::Boolean: return key.boolean() ? "True" : "False";
    case VarType::Empty: return "";
    default: return std::string(key.TypeName());
  }
}

Json ToJson(const Variant& value, int depth);

Json ObjectToJson(const ObjectRef& object, int depth) {
  Json out = {{"type", "Object"}};
  if (object == nullptr) {
    out["class"] = "Nothing";
    return out;
  }
  out["class"] = std::string(object->ClassName());
  if (depth >= kMaxDepth) return out;
  if (auto* dictionary = dynamic_cast<const scripting::Dictionary*>(object.get())) {
    Json items = Json::object();
    for (long i = 0; i < dictionary->Count(); ++i)
      items[KeyText(dictionary->Keys()[i])] = ToJson(dictionary->Items()[i], depth + 1);
    out["items"] = std::move(items);
  } else if (auto* field = dynamic_cast<const adodb::Field*>(object.get())) {
    out["Name"] = field->Name();
    out["Type"] = field->Type();
    out["Attributes"] = field->Attributes();
    try {
      out["Value"] = ToJson(field->Value(), depth + 1);
    } catch (const ScriptError&) {
      // A recordset's field with no current row has no value to show.
    }
  }
  return out;
}

Json ToJson(const Variant& value, int depth) {
  Json out = {{"type", std::string(value.TypeName())}};
  switch (value.type()) {
    case VarType::Empty:
    case VarType::Null: break;
    case VarType::Boolean: out["value"] = value.boolean(); break;
    case VarType::Long: out["value"] = value.long_value(); break;
    case VarType::Double: out["value"] = value.double_value(); break;
    case VarType::Currency: out["value"] = CurrencyInvariantText(value.currency()); break;
    case VarType::Decimal: out["value"] = DecimalText(value.decimal(), "."); break;
    case VarType::Date: try { out["value"] = DateInvariantText(value.date());
      } catch (const ScriptError&) {
        out["serial"] = value.date().serial;  // outside the calendar
      }
      break;
    case VarType::String: out["value"] = value.string(); break;
    case VarType::Binary: out["base64"] = Base64Encode(value.binary()); break;
    case VarType::Array: {
      Json items = Json::array();
      if (depth < kMaxDepth)
        for (const Variant& item : value.array()) items.push_back(ToJson(item, depth + 1));
      out["items"] = std::move(items);
      break;
    }
    case VarType::Object: return ObjectToJson(value.object(), depth);
  }
  return out;
}

// --- Reading ---

[[noreturn]] void Refuse(const std::string& why) { throw VariantJsonError(why); }

const Json& Member(const Json& object, const char* name) {
  auto it = object.find(name);
  if (it == object.end()) Refuse(std::string("missing \"") + name + "\" in " + object.dump());
  return *it;
}

// Refuses members other than `allowed`, so a misspelt one is not ignored.
void CheckMembers(const Json& object, std::initializer_list<std::string_view> allowed) {
  for (const auto& [name, unused] : object.items()) {
    bool known = false;
    for (std::string_view a : allowed) known = known || name == a;
    if (!known) Refuse("unexpected \"" + name + "\" in " + object.dump());
  }
}

std::int64_t WholeNumber(const Json& j, const char* what) {
  if (j.is_number_unsigned() &&
      j.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
    Refuse(std::string(what) + " is out of range");
  if (!j.is_number_integer()) Refuse(std::string(what) + " must be a whole number");
  return j.get<std::int64_t>();
}

const std::string& TextMember(const Json& object, const char* name) {
  const Json& j = Member(object, name);
  if (!j.is_string()) Refuse(std::string("\"") + name + "\" must be a string in " + object.dump());
  return j.get_ref<const std::string&>();
}

CurrencyValue ParseCurrency(std::string_view text) {
  std::string_view rest = text;
  bool negative = !rest.empty() && rest.front() == '-';
  if (negative) rest.remove_prefix(1);
  size_t dot = rest.find('.');
  std::string_view whole = rest.substr(0, dot);
  std::string_view fraction = dot == std::string_view::npos ? "" : rest.substr(dot + 1);
  auto all_digits = [](std::string_view s) {
    return s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (whole.empty() || !all_digits(whole) || !all_digits(fraction) || fraction.size() > 4 ||
      (dot != std::string_view::npos && fraction.empty()))
    Refuse("a Currency value is text such as \"12.3400\", not \"" + std::string(text) + "\"");
  std::uint64_t magnitude = 0;
  // The negative range reaches one further than the positive one.
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
  auto push_digit = [&](char c) {
    unsigned digit = c - '0';
    if (magnitude > (limit - digit) / 10)
      Refuse("Currency value out of range: " + std::string(text));
    magnitude = magnitude * 10 + digit;
  };
  for (char c : whole) push_digit(c);
  for (size_t i = 0; i < 4; ++i) push_digit(i < fraction.size() ? fraction[i] : '0');
  return CurrencyValue{negative ? static_cast<std::int64_t>(0 - magnitude)
                                : static_cast<std::int64_t>(magnitude)};
}

// Plain invariant digits only, and nothing a Decimal cannot hold exactly.
DecimalValue ParseDecimal(std::string_view text) {
  std::string_view rest = text;
  if (!rest.empty() && rest.front() == '-') rest.remove_prefix(1);
  size_t dot = rest.find('.');
  std::string_view whole = rest.substr(0, dot);
  std::string_view fraction = dot == std::string_view::npos ? "" : rest.substr(dot + 1);
  auto all_digits = [](std::string_view s) {
    return s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (whole.empty() || !all_digits(whole) || !all_digits(fraction) ||
      (dot != std::string_view::npos && fraction.empty()))
    Refuse("a Decimal value is text such as \"12.5\", not \"" + std::string(text) + "\"");
  std::optional<DecimalValue> decimal = ParseInvariantDecimal(text, DecimalFit::kExact);
  if (!decimal) Refuse("out of a Decimal's range or past its 28 decimals: " + std::string(text));
  return *decimal;
}

Variant DictionaryFromJson(const Json& json) {
  CheckMembers(json, {"type", "class", "items"});
  const Json& items = Member(json, "items");
  if (!items.is_object()) Refuse("a Dictionary's \"items\" must be an object");
  auto dictionary = std::make_shared<scripting::Dictionary>();
  for (const auto& [key_text, item] : items.items()) {
    Variant key(key_text);
    std::int64_t n = 0;
    const char* end = key_text.data() + key_text.size();
    auto [ptr, ec] = std::from_chars(key_text.data(), end, n);
    if (!key_text.empty() && ec == std::errc() && ptr == end)
      key = Variant(static_cast<long long>(n));
    try {
      dictionary->Add(key, VariantFromJson(item));
    } catch (const ScriptError&) {
      Refuse("the Dictionary key \"" + key_text + "\" repeats another");
    }
  }
  return Variant(dictionary);
}

Variant FieldFromJson(const Json& json) {
  CheckMembers(json, {"type", "class", "Name", "Type", "Attributes", "Value"});
  std::string name = TextMember(json, "Name");
  std::int64_t type = WholeNumber(Member(json, "Type"), "a Field's \"Type\"");
  std::int64_t attributes = 0;
  if (json.contains("Attributes"))
    attributes = WholeNumber(json["Attributes"], "a Field's \"Attributes\"");
  Variant value;
  if (json.contains("Value")) value = VariantFromJson(json["Value"]);
  return Variant(std::make_shared<adodb::StandaloneField>(
      std::move(name), static_cast<long>(type), static_cast<long>(attributes), std::move(value)));
}

Variant TaggedFromJson(const Json& json) {
  const std::string& type = TextMember(json, "type");
  if (type == "Empty" || type == "Null") {
    CheckMembers(json, {"type"});
    return type == "Empty" ? Variant() : Variant::Null();
  }
  if (type == "Binary") {
    CheckMembers(json, {"type", "base64"});
    return Variant::Binary(Base64Decode(TextMember(json, "base64")));
  }
  if (type == "Array") {
    CheckMembers(json, {"type", "items"});
    const Json& items = Member(json, "items");
    if (!items.is_array()) Refuse("an Array's \"items\" must be a JSON array");
    VariantArray values;
    for (const Json& item : items) values.push_back(VariantFromJson(item));
    return Variant::Array(std::move(values));
  }
  if (type == "Object") {
    const std::string& class_name = TextMember(json, "class");
    if (class_name == "Dictionary") return DictionaryFromJson(json);
    if (class_name == "Field") return FieldFromJson(json);
    Refuse("only a Field or a Dictionary can be passed as an object, not " + class_name);
  }
  CheckMembers(json, {"type", "value"});
  const Json& value = Member(json, "value");
  if (type == "Boolean") {
    if (!value.is_boolean()) Refuse("a Boolean's value must be true or false");
    return Variant(value.get<bool>());
  }
  if (type == "Long") return Variant(static_cast<long long>(WholeNumber(value, "a Long's value")));
  if (type == "Double") {
    if (!value.is_number()) Refuse("a Double's value must be a number");
    return Variant(value.get<double>());
  }
  if (type == "Currency") return Variant(ParseCurrency(TextMember(json, "value")));
  if (type == "Decimal") return Variant(ParseDecimal(TextMember(json, "value")));
  if (type == "Date") return Variant(ParseInvariantDate(TextMember(json, "value")));
  if (type == "String") return Variant(TextMember(json, "value"));
  Refuse("unknown type \"" + type + "\"");
}

int Digits(std::string_view text, size_t pos, size_t count) {
  int n = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    n = n * 10 + (text[i] - '0');
  }
  return n;
}

}  // namespace

Json VariantToJson(const Variant& value) { return ToJson(value, 0); }

Variant VariantFromJson(const Json& json) {
  switch (json.type()) {
    case Json::value_t::string: return Variant(json.get<std::string>());
    case Json::value_t::boolean: return Variant(json.get<bool>());
    case Json::value_t::null: return Variant::Null();
    case Json::value_t::number_integer:
      return Variant(static_cast<long long>(json.get<std::int64_t>()));
    case Json::value_t::number_unsigned:
      // Past the 64-bit range a whole number can only be a Double.
      if (json.get<std::uint64_t>() >
          static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return Variant(json.get<double>());
      return Variant(static_cast<long long>(json.get<std::int64_t>()));
    case Json::value_t::number_float: return Variant(json.get<double>());
    case Json::value_t::object: return TaggedFromJson(json);
    default:
      Refuse("a value must be a string, number, true, false, null or a typed object, not " +
             json.dump());
  }
}

Variant VariantFromText(std::string_view text) {
  if (text == "empty") return Variant();
  Json json;
  try {
    json = Json::parse(text);
  } catch (const Json::parse_error&) {
    Refuse("not a JSON value: " + std::string(text));
  }
  return VariantFromJson(json);
}

std::string DumpJson(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string CurrencyInvariantText(CurrencyValue value) {
  bool negative = value.scaled < 0;
  // Negating in unsigned arithmetic keeps the smallest value exact.
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value.scaled)
                                     : static_cast<std::uint64_t>(value.scaled);
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, "%04u", static_cast<unsigned>(magnitude % 10000));
  return (negative ? "-" : "") + std::to_string(magnitude / 10000) + "." + fraction;
}

std::string DateInvariantText(DateValue value) {
  CivilTime t = SplitDate(value);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

DateValue ParseInvariantDate(std::string_view text) {
  auto refuse = [&] {
    Refuse("a date is \"YYYY-MM-DD\" or \"YYYY-MM-DD HH:MM:SS\", not \"" + std::string(text) +
           "\"");
  };
  if (text.size() != 10 && text.size() != 19) refuse();
  if (text[4] != '-' || text[7] != '-') refuse();
  CivilTime t;
  t.year = Digits(text, 0, 4);
  t.month = Digits(text, 5, 2);
  t.day = Digits(text, 8, 2);
  t.hour = t.minute = t.second = 0;
  if (text.size() == 19) {
    if (text[10] != ' ' || text[13] != ':' || text[16] != ':') refuse();
    t.hour = Digits(text, 11, 2);
    t.minute = Digits(text, 14, 2);
    t.second = Digits(text, 17, 2);
  }
  if (t.year < 100 || !IsValidCivilDate(t.year, t.month, t.day) || t.hour < 0 || t.hour > 23 ||
      t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59)
    refuse();
  return MakeDate(t);
}

}  // namespace tabrix::site
