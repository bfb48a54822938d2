#include "host/adodb/sqlite/sqlite_types.h"

#include <cmath>
#include <string>
#include <vector>

#include "host/adodb/column_attributes.h"
#include "host/adodb/field.h"
#include "host/decimal.h"
#include "host/variant_ops.h"

namespace tabrix::adodb::sqlite {

namespace {

struct TypeName {
  std::string_view word;
  long type;
};

constexpr TypeName kTypeNames[] = {
    {"INT", kInteger},
    {"INTEGER", kInteger},
    {"MEDIUMINT", kInteger},
    {"INT4", kInteger},
    {"SMALLINT", kSmallInt},
    {"INT2", kSmallInt},
    {"TINYINT", kUnsignedTinyInt},
    {"BIGINT", kBigInt},
    {"INT8", kBigInt},
    {"BOOLEAN", kBoolean},
    {"BOOL", kBoolean},
    {"BIT", kBoolean},
    {"REAL", kDouble},
    {"DOUBLE", kDouble},
    {"FLOAT", kDouble},
    {"DECIMAL", kNumeric},
    {"NUMERIC", kNumeric},
    {"MONEY", kCurrency},
    {"CURRENCY", kCurrency},
    {"DATE", kDate},
    {"DATETIME", kDBTimeStamp},
    {"TIMESTAMP", kDBTimeStamp},
    {"CHAR", kWChar},
    {"NCHAR", kWChar},
    {"CHARACTER", kWChar},
    {"VARCHAR", kVarWChar},
    {"NVARCHAR", kVarWChar},
    {"TEXT", kVarWChar},
    {"CLOB", kLongVarWChar},
    {"MEMO", kLongVarWChar},
    {"LONGTEXT", kLongVarWChar},
    {"NTEXT", kLongVarWChar},
    {"BLOB", kLongVarBinary},
    {"IMAGE", kLongVarBinary},
    {"VARBINARY", kVarBinary},
    {"UUID", kGUID},
    {"GUID", kGUID},
    {"UNIQUEIDENTIFIER", kGUID},
};

std::string Upper(std::string_view s) {
  std::string upper(s);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

// The words of a declared type, upper-cased, with "(...)" left out.
std::vector<std::string> Words(std::string_view declared) {
  std::vector<std::string> words;
  std::string current;
  int depth = 0;
  for (char c : declared) {
    if (c == '(') ++depth;
    if (c == ')' && depth > 0) --depth;
    bool word_char =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (depth == 0 && word_char) {
      current += c;
    } else if (!current.empty()) {
      words.push_back(Upper(current));
      current.clear();
    }
  }
  if (!current.empty()) words.push_back(Upper(current));
  return words;
}

// SQLite's column affinity rules, in their order.
long TypeFromAffinity(const std::string& upper) {
  if (upper.find("INT") != std::string::npos) return kInteger;
  if (upper.find("CHAR") != std::string::npos || upper.find("CLOB") != std::string::npos ||
      upper.find("TEXT") != std::string::npos)
    return kVarWChar;
  if (upper.find("BLOB") != std::string::npos) return kLongVarBinary;
  if (upper.find("REAL") != std::string::npos || upper.find("FLOA") != std::string::npos ||
      upper.find("DOUB") != std::string::npos)
    return kDouble;
  return kNumeric;
}

}  // namespace

long TypeFromDeclared(std::string_view declared) {
  std::vector<std::string> words = Words(declared);
  if (words.empty()) return 0;
  bool varying = false;
  for (const std::string& word : words) varying = varying || word == "VARYING";
  for (size_t i = 0; i < words.size(); ++i) {
    if (words[i] == "BIG" && i + 1 < words.size() &&
        (words[i + 1] == "INT" || words[i + 1] == "INTEGER"))
      return kBigInt;
    for (const TypeName& name : kTypeNames) {
      if (words[i] != name.word) continue;
      // "CHARACTER VARYING", "VARYING CHARACTER": variable-length text.
      if (name.type == kWChar && varying) return kVarWChar;
      return name.type;
    }
  }
  return TypeFromAffinity(Upper(declared));
}

long TypeFromStorage(int storage_class) {
  switch (storage_class) {
    case SQLITE_INTEGER: return kBigInt;
    case SQLITE_FLOAT: return kDouble;
    case SQLITE_BLOB: return kLongVarBinary;
    default: return kVarWChar;
  }
}

long DefinedSizeFromDeclared(std::string_view declared) {
  size_t open = declared.find('(');
  if (open == std::string_view::npos) return 0;
  long size = 0;
  size_t i = open + 1;
  while (i < declared.size() && declared[i] == ' ') ++i;
  size_t start = i;
  while (i < declared.size() && declared[i] >= '0' && declared[i] <= '9' && size < 1000000000)
    size = size * 10 + (declared[i++] - '0');
  return i == start ? 0 : size;
}

namespace {

Variant CurrencyFromDouble(double d) {
  double scaled = std::nearbyint(d * 10000.0);
  if (!(std::fabs(scaled) < 9.2e18)) return Variant(d);  // out of Currency's range
  return Variant(CurrencyValue{static_cast<std::int64_t>(scaled)});
}

bool IsDecimalType(long type) { return type == kNumeric || type == kDecimal; }

// A real in a decimal column, as its 15-digit text reads; a Double where
// that is no Decimal.
Variant DecimalFromReal(double d) {
  if (std::optional<DecimalValue> decimal = DecimalFromDouble(d)) return Variant(*decimal);
  return Variant(d);
}

}  // namespace

Variant ReadColumn(sqlite3_stmt* statement, int column, long type) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL: return Variant::Null();
    case SQLITE_INTEGER: {
      std::int64_t n = sqlite3_column_int64(statement, column);
      if (type == kBoolean) return Variant(n != 0);
      if (type == kCurrency) return CurrencyFromDouble(static_cast<double>(n));
      if (IsDecimalType(type)) return Variant(DecimalFromLong(n));
      if (type == kDouble || type == kSingle) return Variant(static_cast<double>(n));
      return Variant(static_cast<long long>(n));
    }
    case SQLITE_FLOAT: {
      double d = sqlite3_column_double(statement, column);
      if (type == kBoolean) return Variant(d != 0);
      if (type == kCurrency) return CurrencyFromDouble(d);
      if (IsDecimalType(type)) return DecimalFromReal(d);
      return Variant(d);
    }
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement, column));
      int size = sqlite3_column_bytes(statement, column);
      return Variant::Binary(bytes == nullptr ? Bytes{} : Bytes(bytes, bytes + size));
    }
    default: {
      const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      std::string_view view(text == nullptr ? "" : text,
                            static_cast<size_t>(sqlite3_column_bytes(statement, column)));
      // Other text in a date column stays the text it is.
      if (IsDateType(type)) {
        if (auto date = ParseIsoDate(view)) return Variant(*date);
      }
      // Decimal text the engine kept as text, digit for digit.
      if (IsDecimalType(type)) {
        if (auto decimal = ParseInvariantDecimal(view, DecimalFit::kExact))
          return Variant(*decimal);
      }
      return Variant(view);
    }
  }
}

void BindValue(sqlite3_stmt* statement, int position, const Variant& value) {
  switch (value.type()) {
    case VarType::Empty:
    case VarType::Null: sqlite3_bind_null(statement, position); break;
    case VarType::Boolean: sqlite3_bind_int(statement, position, value.boolean() ? 1 : 0); break;
    case VarType::Long: sqlite3_bind_int64(statement, position, value.long_value()); break;
    case VarType::Double: sqlite3_bind_double(statement, position, value.double_value()); break;
    case VarType::Currency:
      sqlite3_bind_double(statement, position,
                          static_cast<double>(value.currency().scaled) / 10000.0);
      break;
    case VarType::Decimal: {
      // A whole number as an integer; any other as its text, which the
      // column's affinity stores as exactly as the engine can.
      DecimalValue decimal = value.decimal();
      std::optional<std::int64_t> whole = DecimalToScaledLong(decimal, 0);
      if (whole && CompareDecimals(DecimalFromLong(*whole), decimal) == 0) {
        sqlite3_bind_int64(statement, position, *whole);
        break;
      }
      std::string text = DecimalText(decimal, ".");
      sqlite3_bind_text(statement, position, text.data(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
      break;
    }
    case VarType::Date: {
      std::string text = IsoDateText(value.date());
      sqlite3_bind_text(statement, position, text.data(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
      break;
    }
    case VarType::String:
      sqlite3_bind_text64(statement, position, value.string().data(), value.string().size(),
                          SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    case VarType::Binary: {
      const Bytes& bytes = value.binary();
      sqlite3_bind_blob64(statement, position, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
      break;
    }
    default:
      RaiseError(kErrTypeMismatch,
                 "a " + std::string(value.TypeName()) + " cannot be stored in a column");
  }
}

}  // namespace tabrix::adodb::sqlite
