// Input controls: the control of one field on the search panel (form kind
// 1), the update form (2) and the add form (3). A relation marked for
// drop-downs wins over a value list, which wins over the field's type.
// Every control is named after the field so the receiving page reads the
// value back under that name; dates use the date input's lists.
//
// Values from the request or the database are HTML-escaped where they are
// written, so a value survives a round trip through the form; texts that
// come from the settings (value lists) are written as configured.
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "component/numbered_settings.h"
#include "component/tabrix1.h"
#include "host/adodb/recordset.h"
#include "host/clock.h"
#include "host/html.h"
#include "host/locale/locale.h"
#include "host/scripting/dictionary.h"
#include "host/sql/legacy_names.h"
#include "host/variant_ops.h"
#include "host/whole_number.h"
#include "render/date_input.h"
#include "render/input_controls.h"

namespace tabrix {

namespace {

enum FormKind : long { kSearchForm = 1, kUpdateForm = 2, kAddForm = 3 };

// Whether `v` is the number `n` (text that reads as that number counts too).
bool IsNumber(const Variant& v, long n) {
  return !v.IsNull() && IsNumeric(v) && ToDouble(v) == static_cast<double>(n);
}

std::string SelectOpening(const std::string& field) {
  return "<select name=\"" + HtmlEscape(field) + "\" class=\"select\">";
}

constexpr std::string_view kNoChoiceOption = "<option value=\"\">Select</option>";

// The ADO type groups of the controls.
constexpr long kLongTextTypes[] = {201, 203};
constexpr long kTextTypes[] = {129, 200, 204, 12, 202, 130};
constexpr long kNumberTypes[] = {17, 11, 20, 128, 14, 5, 6, 72, 9, 3, 4, 2, 131};

template <size_t N>
bool InGroup(const long (&group)[N], long type) {
  return std::find(std::begin(group), std::end(group), type) != std::end(group);
}

// The type number of `field_type`, or -1 when it is no whole number that
// fits (such a type matches no control).
long TypeNumber(const Variant& field_type) {
  if (field_type.IsNull() || field_type.IsEmpty() || !IsNumeric(field_type)) return -1;
  return ExactWholeNumber(ToDouble(field_type)).value_or(-1);
}

}  // namespace

namespace render {

namespace {

// A date that may be left empty: its lists start empty instead of at today.
void WriteEmptiableDate(Tabrix1& page, const std::string& field, const Variant& kind,
                        const std::vector<Variant>& parts) {
  WriteDateLists(page, field, IsNumber(kind, 2), {parts[0], parts[1], parts[2], parts[3], parts[4]},
                 /*offer_empty=*/true, SplitDate(Now()).year);
}

}  // namespace

void WriteInputControl(Tabrix1& page, const Variant& FieldName, const Variant& FieldType,
                       const Variant& Tip, StoredValue stored, bool may_be_empty) {
  std::string field = ConcatText(FieldName);

  // The value to show: the request's, else on the update form the stored
  // one (unless it is withheld); anything empty becomes "".
  bool show_stored = IsNumber(Tip, kUpdateForm) && stored == StoredValue::kShown;
  Variant value = page.FieldItem("", field);
  if (IsEmptyText(value) && show_stored) value = page.RsValue(FieldName);
  if (IsEmptyText(value)) value = Variant("");
  std::string value_text = ToText(value);

  // A relation marked "yes" offers the related rows.
  Variant relation = page.GetRelation(page.CurrentTable, FieldName);
  if (ToDouble(relation) > 0) {
    long n = ToLong(relation);
    std::string key = EntryKey("set_relation", n);
    std::vector<std::string> parts = EntryPositions(page, "set_relation", n);
    const std::string& related_table = RequirePosition(parts, 1, key, "related table (position 1)");
    const std::string& key_field = RequirePosition(parts, 2, key, "key field (position 2)");
    const std::string& caption = RequirePosition(parts, 3, key, "caption (position 3)");
    // Captions the user may not view are never listed: the field then
    // takes its plain control, and the value is typed.
    bool captions_viewable =
        ToBool(page.YetkiKontrol(Variant(related_table), Variant("V"))) &&
        ToBool(page.YetkiKontrolField(Variant(related_table), Variant(caption), Variant("V")));
    if (FoldCase(RequirePosition(parts, 4, key, "drop-down switch (position 4)")) == "yes" &&
        captions_viewable) {
      adodb::Recordset& rows = ObjectAs<adodb::Recordset>(page.Rs2);
      page.OpenRecordset(rows,
                         "select " + key_field + " as id, " + caption + " as cap from " +
                             sql::BracketedName(related_table) + " order by " + caption,
                         adodb::kStatic, adodb::kReadOnly);
      page.Write(SelectOpening(field));
      page.Write(kNoChoiceOption);
      while (!rows.Eof()) {
        // A Null key cannot be offered: it raises 94.
        std::string id = ToText(rows.Value(Variant("id")));
        std::string cap = ConcatText(rows.Value(Variant("cap")));
        page.Write("<option value=\"" + HtmlEscape(id) + "\"" +
                   (id == value_text ? " selected" : "") + ">" + HtmlEscape(cap) + "</option>");
        rows.MoveNext();
      }
      page.Write("</select>");
      rows.Close();
      return;
    }
  }

  // The first value list that names the field offers its pairs.
  std::string any_table_name = FoldCase("*." + field);
  std::string this_table_name = FoldCase(ConcatText(page.CurrentTable) + "." + field);
  for (long n = 1; n <= kMaxNumberedEntry; ++n) {
    if (!EntryExists(page, "set_select", n)) break;
    std::string key = EntryKey("set_select", n);
    std::vector<std::string> parts = EntryPositions(page, "set_select", n);
    std::string names = FoldCase(RequirePosition(parts, 0, key, "field (position 0)"));
    if (names != any_table_name && names != this_table_name) continue;
    page.Write(SelectOpening(field));
    page.Write(kNoChoiceOption);
    size_t pairs = (parts.size() - 1) / 2;
    for (size_t j = 1; j <= pairs; ++j) {
      const std::string& choice = parts[2 * j - 1];
      page.Write("<option value=\"" + HtmlEscape(choice) + "\"" +
                 (choice == value_text ? " selected" : "") + ">" + HtmlEscape(parts[2 * j]) +
                 "</option>");
    }
    page.Write("</select>");
    return;
  }

  long type = TypeNumber(FieldType);
  if (InGroup(kLongTextTypes, type)) {
    page.Write("<textarea name=\"" + HtmlEscape(field) + "\" class=\"select\" cols=\"50\" rows=\"8\">" +
               HtmlEscape(value_text) + "</textarea>");
    return;
  }
  if (InGroup(kTextTypes, type) || InGroup(kNumberTypes, type)) {
    if (InGroup(kNumberTypes, type) && value_text.empty() && IsNumber(Tip, kAddForm))
      value_text = "0";
    page.Write("<input type=\"textbox\" name=\"" + HtmlEscape(field) + "\" value=\"" + HtmlEscape(value_text) +
               "\" size=\"25\">");
    return;
  }
  if (type != adodb::kDate && type != adodb::kDBTimeStamp) return;

  // Dates: day, month and year; with hour and minute for date-and-time.
  Variant kind(type == adodb::kDBTimeStamp ? 2 : 1);
  auto request_parts = [&](const std::string& end) {
    auto part = [&](const char* suffix) { return page.FieldItem("", field, end + suffix); };
    return std::vector<Variant>{part("_d"), part("_m"), part("_y"), part("_h"), part("_i")};
  };
  auto select_date = [&](const std::string& base, const Variant& date_kind,
                         std::vector<Variant> parts) {
    page.DateSelectKoy(Variant(base), date_kind, parts[0], parts[1], parts[2], parts[3], parts[4]);
  };

  if (IsNumber(Tip, kSearchForm)) {
    // A range that applies only when ticked; both ends are whole days.
    Variant ticked = page.FieldItem("", field);
    bool checked = ticked.IsString() && ticked.string() == "E";
    page.Write("<input type=\"checkbox\" name=\"" + HtmlEscape(field) + "\" value=\"E\"" +
               (checked ? " checked" : "") + ">");
    select_date(field + "1", Variant(1), request_parts("1"));
    page.Write("<br>&nbsp;&nbsp;/&nbsp;&nbsp;");
    select_date(field + "2", Variant(1), request_parts("2"));
  } else if (IsNumber(Tip, kUpdateForm)) {
    std::vector<Variant> parts(5);
    if (!IsEmptyText(page.FieldItem("", field, "_d"))) {
      parts = request_parts("");
    } else if (Variant date = show_stored ? page.RsValue(FieldName) : Variant();
               !IsEmptyText(date)) {
      CivilTime t = SplitDate(ToDate(date));
      parts = {Variant(t.day), Variant(t.month), Variant(t.year), Variant(t.hour),
               Variant(t.minute)};
    }
    if (may_be_empty) return WriteEmptiableDate(page, field, kind, parts);
    select_date(field, kind, std::move(parts));
  } else if (IsNumber(Tip, kAddForm)) {
    if (may_be_empty) return WriteEmptiableDate(page, field, kind, request_parts(""));
    select_date(field, kind, request_parts(""));
  }
}

}  // namespace render

Variant Tabrix1::InputKoyF(const Variant& FieldName, const Variant& FieldType, const Variant& Tip) {
  render::WriteInputControl(*this, FieldName, FieldType, Tip, render::StoredValue::kShown);
  return Variant();
}

Variant Tabrix1::InputKoy(const Variant& FNo, const Variant& Tip) {
  auto& names = ObjectAs<scripting::Dictionary>(FieldNames);
  auto& types = ObjectAs<scripting::Dictionary>(FieldTypes);
  return InputKoyF(names.Get(FNo), types.Get(FNo), Tip);
}

}  // namespace tabrix
