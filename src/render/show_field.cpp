// Field display: one value of the current record as the HTML of a grid
// cell or a record line, by the field's type, then overridden by a value
// list ("set_select") or a relation ("set_relation").
//
// What comes from the database is escaped for HTML (the related record's id
// is URL-encoded); texts the site configured (value-list texts, "set_replace"
// captions, "set_currency") are written as configured, since the site may
// put HTML there.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "component/numbered_settings.h"
#include "component/tabrix1.h"
#include "host/adodb/field.h"
#include "host/adodb/recordset.h"
#include "host/html.h"
#include "host/locale/locale.h"
#include "host/scripting/dictionary.h"
#include "host/url.h"
#include "host/variant_ops.h"
#include "values/row_address.h"

namespace tabrix {

namespace {

constexpr std::string_view kSelectPrefix = "set_select";
constexpr std::string_view kRelationPrefix = "set_relation";
constexpr std::string_view kRightAligned = "<p align='right'>";
constexpr std::string_view kSignMark = "<font color='red'>";

enum class Display { kText, kDate, kDateTime, kMoney, kNumber, kBinaryNumber, kPicture, kOther };

Display DisplayFor(long type) {
  switch (type) {
    case adodb::kChar: case adodb::kLongVarChar: case adodb::kLongVarWChar:
    case adodb::kVarChar: case adodb::kVarBinary: case adodb::kVariant:
    case adodb::kVarWChar: case adodb::kWChar:
      return Display::kText;
    case adodb::kDate: return Display::kDate;
    case adodb::kDBTimeStamp: return Display::kDateTime;
    case adodb::kCurrency: return Display::kMoney;
    case adodb::kUnsignedTinyInt: case adodb::kBoolean: case adodb::kBigInt:
    case adodb::kDecimal: case adodb::kDouble: case adodb::kGUID: case adodb::kIDispatch:
    case adodb::kInteger: case adodb::kSingle: case adodb::kSmallInt: case adodb::kNumeric:
      return Display::kNumber;
    case adodb::kBinary: return Display::kBinaryNumber;
    case adodb::kLongVarBinary: return Display::kPicture;
    default: return Display::kOther;
  }
}

bool IsNegative(const Variant& value) {
  if (value.type() == VarType::Binary) return false;  // bytes have no sign
  std::optional<int> order = Compare(value, Variant(0));
  return order && *order < 0;
}

// Right-aligned amount; a negative one is red, closed before the paragraph ends.
std::string RightAligned(const std::string& amount, bool negative) {
  std::string out(kRightAligned);
  if (negative) out += kSignMark;
  out += amount;
  if (negative) out += "</font>";
  out += "</p>";
  return out;
}

// A value as it is stored, escaped; binary data as the hex of its bytes.
std::string StoredText(const Variant& value) {
  if (value.type() != VarType::Binary) return HtmlEscape(ToText(value));
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::uint8_t byte : value.binary()) {
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
  }
  return out;
}

// Text with carriage returns shown as line breaks; the line feeds stay.
std::string MultilineText(const std::string& text) {
  std::string escaped = HtmlEscape(text);
  std::string out;
  out.reserve(escaped.size());
  for (char c : escaped) {
    if (c == '\r') out += "<br>";
    else out += c;
  }
  return out;
}

// The date a date field shows: a date, or text the regional settings read
// as one. Other values (text that is no date, a number) name no date.
std::optional<DateValue> ShownDate(const Variant& value) {
  if (value.type() == VarType::Date) return value.date();
  if (value.IsString()) return Locale::Current().ParseDate(value.string());
  return std::nullopt;
}

// VB's Trim: blanks only, at both ends.
std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

Variant Tabrix1::ShowField(const Variant& FName, const Variant& FValue, const Variant& FNo) {
  if (FValue.IsNull() || FValue.IsEmpty()) return Variant("");

  std::string result;

  Variant type = ObjectAs<scripting::Dictionary>(FieldTypes).Get(FNo);
  long type_number = type.IsEmpty() ? 0 : static_cast<long>(ToLong(type));
  const Display display = DisplayFor(type_number);
  switch (display) {
    case Display::kText: {
      std::string text = ToText(FValue);
      result = text.empty() ? text : MultilineText(text);
      break;
    }
    // A stored value the field's type cannot take (a date column holding
    // "" or a number, a money column holding words) is shown as it is
    // stored, so that one bad row leaves the rest of the page readable.
    case Display::kDate:
    case Display::kDateTime: {
      std::optional<DateValue> date = ShownDate(FValue);
      if (!date) {
        result = StoredText(FValue);
        break;
      }
      Variant shown(*date);
      bool with_time = display == Display::kDateTime;
      result = HtmlEscape(ConcatText(with_time ? TarihYaz(shown) : TarihYazK(shown)));
      break;
    }
    case Display::kMoney: {
      if (!IsNumeric(FValue)) {
        result = StoredText(FValue);
        break;
      }
      std::string amount = Locale::Current().FormatNumber(ToDouble(FValue), 2, true);
      result = RightAligned(amount + " " + ConcatText(Setting("set_currency")),
                            IsNegative(FValue));
      break;
    }
    case Display::kNumber:
      result = RightAligned(HtmlEscape(ToText(FValue)), IsNegative(FValue));
      break;
    case Display::kBinaryNumber: result = RightAligned(StoredText(FValue), false); break;
    case Display::kPicture: result = "-"; break;
    case Display::kOther: {
      // A configured "set_replace" text stays as the site wrote it; the
      // value itself coming back is database text and is escaped. Only
      // this display shows such a caption, so only it looks one up.
      Variant replaced = Replacetext(FValue);
      result = replaced.Identical(FValue) ? HtmlEscape(ConcatText(replaced))
                                          : ConcatText(replaced);
      break;
    }
  }

  std::string field = ConcatText(FName);
  std::string table = ConcatText(CurrentTable);
  for (long n = 1; n <= kMaxNumberedEntry; ++n) {
    const NumberedEntryMemo* entry = FindEntry(*this, kSelectPrefix, n);
    if (entry == nullptr) break;
    const std::vector<std::string>& positions = entry->positions;
    const std::string& target = RequirePosition(positions, 0, entry->key, "field");
    // "*.field" names the field in every table.
    bool any_table = target.rfind("*.", 0) == 0;
    if (!NamesField(any_table ? table + target.substr(1) : target, table, field)) continue;
    // The first list that names the field decides; a later matching pair
    // wins over an earlier one, and a value without its text is ignored.
    size_t pairs = (positions.size() - 1) / 2;
    if (pairs > 0) {
      std::string value_text = TrimBlanks(ToText(FValue));
      for (size_t j = 1; j <= pairs; ++j) {
        if (TrimBlanks(positions[2 * j - 1]) == value_text) result = HtmlEscape(positions[2 * j]);
      }
    }
    return Variant(result);
  }

  long relation = static_cast<long>(ToLong(GetRelation(CurrentTable, FName)));
  if (relation > 0) {
    const NumberedEntryMemo& entry = ReadEntry(*this, kRelationPrefix, relation);
    const std::string& related = RequirePosition(entry.positions, 1, entry.key, "related table");
    const std::string& key_field = RequirePosition(entry.positions, 2, entry.key, "key field");
    const std::string& caption_field =
        RequirePosition(entry.positions, 3, entry.key, "caption field");
    // A caption the user may not view is never sent: the field's own value
    // stands instead, linked only into a table the user may view.
    bool table_viewable = ToBool(YetkiKontrol(Variant(related), Variant("V")));
    if (table_viewable &&
        ToBool(YetkiKontrolField(Variant(related), Variant(caption_field), Variant("V")))) {
      Variant caption = ObjectAs<adodb::Recordset>(Rs).Value(Variant(field + "_caption"));
      result = HtmlEscape(ConcatText(caption));
    }
    // The link opens the related record only where the relation's key is
    // that table's whole primary key: any other value could name another
    // row, or several.
    const std::vector<std::string>& key = row_address::KeyColumnsOf(*this, related);
    if (table_viewable && key.size() == 1 && NamesField(related + "." + key_field, related, key.front())) {
      result += " <A href='Info.asp?t=" + ConcatText(TableCode(Variant(related))) + "&id=" +
                UrlEncode(FValue.IsNull() ? ToText(FValue) : row_address::OfKeyValue(FValue)) +
                "'><img src='images/link.gif' border='0' align='absmiddle'></a>";
    }
  }
  return Variant(result);
}

}  // namespace tabrix
