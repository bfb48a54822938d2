// The field list cache: a table's field names, type numbers and captions,
// read from the database, kept in the Session under "FL_" keys and loaded
// into FieldCount, FieldNames, FieldTypes and FieldCaptions.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "component/tabrix1.h"
#include "host/adodb/recordset.h"
#include "host/locale/locale.h"
#include "host/scripting/dictionary.h"
#include "host/sql/legacy_names.h"
#include "host/text/case_fold.h"
#include "host/text/utf8.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

// The display caption of a field: the configured text or the name, first
// letter upper case and the rest lower case, "_yn" dropped, "_" as blanks.
std::string CaptionFor(const std::string& field_name, const Variant& replaced) {
  std::string caption = ConcatText(replaced);
  if (caption.empty())
    RaiseError(kErrInvalidArgument, "field " + field_name + " has an empty caption");
  const Locale& locale = Locale::Current();
  caption = locale.ToUpper(text::Mid(caption, 0, 1)) + locale.ToLower(text::Mid(caption, 1));
  caption = text::ReplaceIgnoringCase(caption, "_yn", "");
  for (char& c : caption)
    if (c == '_') c = ' ';
  return caption;
}

// The session value under `key` as a map; as an object assignment, anything
// else is an object error.
Variant RequireObject(const Variant& value) {
  if (!value.IsObject()) RaiseError(kErrObjectRequired);
  return value;
}

}  // namespace

Variant Tabrix1::TabloFieldsDoldur(const Variant& TabloName) {
  auto names = NewDictionary();
  auto types = NewDictionary();
  auto captions = NewDictionary();
  auto rs = NewRecordset();
  std::string table = ConcatText(TabloName);
  OpenRecordset(*rs, "select top 1 * from " + sql::BracketedName(table), adodb::kStatic,
                adodb::kReadOnly);

  adodb::Fields& fields = rs->fields();
  long count = fields.Count();
  std::vector<std::string> spellings;
  for (long position = 0; position < count; ++position) {
    auto field = fields.Item(Variant(position));
    const std::string& name = field->Name();
    spellings.push_back(name);
    Variant caption(CaptionFor(name, Replacetext(Variant(name))));
    Variant number(position + 1);
    names->Add(number, Variant(name));
    types->Add(number, Variant(field->Type()));
    captions->Add(number, caption);
  }
  rs->Close();
  rs.reset();
  ColumnTwins.insert_or_assign(table, values::CaseTwins(spellings));

  // The "ok" marker goes first, but only once every field has been read.
  Session& store = SessionObject();
  std::string prefix = "FL_" + TableKey(table);
  store.SetValue(prefix, Variant("ok"));
  store.SetValue(prefix + "_count", Variant(names->Count()));
  store.SetValue(prefix + "_names", Variant(names));
  store.SetValue(prefix + "_types", Variant(types));
  store.SetValue(prefix + "_captions", Variant(captions));
  return Variant();
}

Variant Tabrix1::GetFieldList(const Variant& TabloName) {
  std::string prefix = "FL_" + TableKey(ConcatText(TabloName));
  TabloFieldsDoldur(TabloName);
  // A Session that could not keep the cache gets a second chance.
  std::optional<int> marker = Compare(Setting(prefix), Variant("ok"));
  if (marker && *marker != 0) TabloFieldsDoldur(TabloName);

  // Everything is read before any member changes, so a failure leaves the
  // previous table loaded.
  Variant count(ToDouble(Setting(prefix + "_count")));
  Variant names = RequireObject(Setting(prefix + "_names"));
  Variant types = RequireObject(Setting(prefix + "_types"));
  Variant captions = RequireObject(Setting(prefix + "_captions"));
  FieldCount = count;
  FieldNames = names;
  FieldTypes = types;
  FieldCaptions = captions;
  return Variant();
}

Variant Tabrix1::GetFieldType(const Variant& FName) {
  Variant result(0);
  double count = ToDouble(FieldCount);
  if (count < 1) return result;
  auto& names = ObjectAs<scripting::Dictionary>(FieldNames);
  // Null names no field: its lower-case form is Null, which equals nothing.
  if (FName.IsNull()) return result;
  std::string wanted = ConcatText(FName);
  // The field spelled exactly so decides; else the one field that differs
  // only in case. Where several do ("Email" and "email" for "EMAIL"), the
  // name stands for none of them.
  long matches = 0;
  for (long i = 1; i <= count; ++i) {
    Variant name = names.Get(Variant(i));
    if (name.IsNull()) continue;
    std::string spelling = ConcatText(name);
    if (spelling == wanted) return ObjectAs<scripting::Dictionary>(FieldTypes).Get(Variant(i));
    if (EqualsIgnoreCase(spelling, wanted)) {
      result = ObjectAs<scripting::Dictionary>(FieldTypes).Get(Variant(i));
      ++matches;
    }
  }
  return matches > 1 ? Variant(0) : result;
}

}  // namespace tabrix
