#include "values/row_address.h"

#include <charconv>
#include <cstdio>

#include "host/adodb/connection.h"
#include "host/adodb/field.h"
#include "host/sql/legacy_names.h"
#include "host/variant_ops.h"
#include "values/sql_literal.h"

namespace tabrix::row_address {

namespace {

constexpr char kJoined = '~';
constexpr std::string_view kNullPart = "!";

bool Escaped(char c) { return c == '%' || c == '~' || c == '|' || c == '&' || c == '!'; }

std::string EscapePart(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (!Escaped(c)) {
      out += c;
      continue;
    }
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
    out += hex;
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

[[noreturn]] void RaiseMalformed(const std::string& why) {
  RaiseRequestError(kErrInvalidArgument, "the record address is not valid: " + why);
}

std::string UnescapePart(std::string_view part) {
  std::string out;
  for (size_t i = 0; i < part.size(); ++i) {
    if (part[i] != '%') {
      out += part[i];
      continue;
    }
    int h = i + 1 < part.size() ? HexDigit(part[i + 1]) : -1;
    int l = i + 2 < part.size() ? HexDigit(part[i + 2]) : -1;
    if (h < 0 || l < 0) RaiseMalformed("a \"%\" without two hex digits");
    out += static_cast<char>(h * 16 + l);
    i += 2;
  }
  return out;
}

// A value of a joined address as text: exact and the same whatever the
// regional settings. nullopt for Null; raises nothing, but a binary value
// has no text (the caller gives up on the row).
struct PartText {
  bool null = false;
  bool usable = true;
  std::string text;
};

PartText JoinedPart(const Variant& value) {
  PartText part;
  switch (value.type()) {
    case VarType::Null:
    case VarType::Empty: part.null = true; break;
    case VarType::Boolean: part.text = value.boolean() ? "1" : "0"; break;
    case VarType::Double: {
      char buffer[64];
      auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value.double_value());
      part.text.assign(buffer, ec == std::errc() ? end : buffer);
      break;
    }
    case VarType::Long:
    case VarType::Currency:
    case VarType::Decimal: part.text = SqlNumberText(value); break;
    case VarType::Date: part.text = IsoDateText(value.date()); break;
    case VarType::String: part.text = value.string(); break;
    default: part.usable = false; break;
  }
  return part;
}

// The text of a one-column key, as links always carried it (a date as ISO
// text, which the key's column compares with).
std::string PlainText(const Variant& value) {
  if (value.type() == VarType::Date) return IsoDateText(value.date());
  return ConcatText(value);
}

bool NeedsJoinedForm(const std::string& text) {
  return text.find('|') != std::string::npos || (!text.empty() && text.front() == kJoined);
}

// Invariant number text: an optional "-", digits with an optional fraction
// and exponent.
bool IsInvariantNumber(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponent = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++exponent;
    if (exponent == 0) return false;
  }
  return i == text.size();
}

// The parts of a joined address: nullopt stands for Null.
std::vector<std::optional<std::string>> SplitJoined(const std::string& address) {
  std::vector<std::optional<std::string>> parts;
  size_t start = 1;
  while (true) {
    size_t end = address.find(kJoined, start);
    std::string_view part(address.data() + start,
                          (end == std::string::npos ? address.size() : end) - start);
    if (part == kNullPart) parts.emplace_back(std::nullopt);
    else parts.emplace_back(UnescapePart(part));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return parts;
}

}  // namespace

std::vector<std::string> AddressColumns(Tabrix1& page) {
  const RowKey& key = page.CurrentRowKey;
  if (key.kind != RowKey::Kind::kAllValues) return key.columns;
  // A value the user may not view never travels in a link.
  std::vector<std::string> columns;
  for (const std::string& name : key.columns)
    if (ToBool(page.YetkiKontrolField(page.CurrentTable, Variant(name), Variant("V"))))
      columns.push_back(name);
  return columns;
}

std::string OfKeyValue(const Variant& value) {
  if (value.IsNull()) return std::string(1, kJoined) + std::string(kNullPart);
  std::string address = PlainText(value);
  if (NeedsJoinedForm(address)) address = kJoined + EscapePart(address);
  return address;
}

std::optional<std::string> OfValues(const std::vector<Variant>& values) {
  if (values.empty()) return std::nullopt;
  std::string address;
  if (values.size() == 1) {
    if (!JoinedPart(values.front()).usable) return std::nullopt;
    address = OfKeyValue(values.front());
  } else {
    for (const Variant& value : values) {
      PartText part = JoinedPart(value);
      if (!part.usable) return std::nullopt;
      address += kJoined;
      address += part.null ? std::string(kNullPart) : EscapePart(part.text);
    }
  }
  if (address.size() > kMaxAddressBytes) return std::nullopt;
  return address;
}

const std::vector<std::string>& KeyColumnsOf(Tabrix1& page, const std::string& table) {
  auto known = page.KnownKeys.find(table);
  if (known != page.KnownKeys.end()) return known->second;
  auto connection = page.OpenSiteConnection();
  VariantArray restrictions{Variant(), Variant(), Variant(table)};
  auto keys = connection->OpenSchema(Variant(adodb::kSchemaPrimaryKeys),
                                     Variant::Array(std::move(restrictions)));
  std::vector<std::string> names;
  for (; !keys->Eof(); keys->MoveNext()) names.push_back(ConcatText(keys->Value(Variant("COLUMN_NAME"))));
  keys->Close();
  connection->Close();
  return page.KnownKeys.emplace(table, std::move(names)).first->second;
}

std::optional<std::string> OfRow(Tabrix1& page, adodb::Recordset& rs) {
  std::vector<std::string> columns = AddressColumns(page);
  if (columns.empty()) return std::nullopt;
  std::string address;
  if (page.CurrentRowKey.Plain()) {
    address = OfKeyValue(rs.Value(Variant(columns.front())));
  } else {
    for (const std::string& column : columns) {
      PartText part = JoinedPart(rs.Value(Variant(column)));
      if (!part.usable) return std::nullopt;
      address += kJoined;
      address += part.null ? std::string(kNullPart) : EscapePart(part.text);
      if (address.size() > kMaxAddressBytes) return std::nullopt;
    }
  }
  if (address.size() > kMaxAddressBytes) return std::nullopt;
  return address;
}

bool IsPlain(const Tabrix1& page, const std::string& address) {
  return page.CurrentRowKey.Plain() && (address.empty() || address.front() != kJoined);
}

std::string Condition(Tabrix1& page, const std::string& address) {
  std::vector<std::string> columns = AddressColumns(page);
  if (columns.empty()) RaiseError(kErrInvalidArgument, "the table has no row address");
  if (IsPlain(page, address)) {
    return sql::LegacyName(columns.front()) + "=" + SqlLiteralText(page.IdSQL(Variant(address)));
  }
  if (address.empty() || address.front() != kJoined) RaiseMalformed("it does not start with \"~\"");
  std::vector<std::optional<std::string>> parts = SplitJoined(address);
  if (parts.size() != columns.size()) {
    RaiseMalformed("it has " + std::to_string(parts.size()) + " parts, and the table's key " +
                   std::to_string(columns.size()));
  }
  bool plain_key = page.CurrentRowKey.Plain();
  std::string condition;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (!condition.empty()) condition += " AND ";
    std::string name = sql::LegacyName(columns[i]);
    if (!parts[i]) {
      condition += name + " IS NULL";
      continue;
    }
    const std::string& text = *parts[i];
    if (plain_key) {
      // One key column: its value is typed as the plain form types it.
      condition += name + "=" + SqlLiteralText(page.IdSQL(Variant(text)));
      continue;
    }
    long type = static_cast<long>(ToLong(page.GetFieldType(Variant(columns[i]))));
    if (IsBareKeyType(type) && type != adodb::kGUID && type != adodb::kBinary) {
      if (!IsInvariantNumber(text)) RaiseMalformed("part " + std::to_string(i + 1) + " is not a number");
      condition += name + "=" + text;
    } else {
      condition += name + "='" + ConcatText(page.CheckStr(Variant(text))) + "'";
    }
  }
  return condition;
}

}  // namespace tabrix::row_address
