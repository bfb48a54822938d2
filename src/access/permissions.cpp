// Table and field permissions of the current user, read afresh from the
// settings on every call (but once per stretch in which the settings are
// held still, such as a page's rows): a non-empty deny-list alone decides,
// else the allow-list; fields have a deny-list only.
#include <string>

#include "component/tabrix1.h"
#include "host/adodb/field.h"
#include "host/text/case_fold.h"
#include "host/variant_ops.h"
#include "values/case_twins.h"
#include "values/folded_lists.h"

namespace tabrix {

namespace {

// The letters the entry "name[letters]" of the list "," + `setting` gives.
// The first entry that spells the name in any case counts, unless
// `twinned` says the name has a case twin: then only an entry of its exact
// spelling does.
template <class Twinned>
std::string Letters(Tabrix1& object, const std::string& setting, const std::string& name,
                    Twinned twinned) {
  // The list is folded once per text of the setting, not once per check.
  const values::FoldedList& list = object.Memos.lists.Get(",", setting, "");
  std::string start = "," + name + "[";
  std::string any_case = values::SectionIgnoringCase(
      list.text, list.folded, text::FoldedCodePoints(start), U"]");
  std::string exact = values::ExactSection(list.text, start, "]");
  // Where both find the same letters, the names need no telling apart.
  return any_case == exact || !twinned() ? any_case : exact;
}

// Whether `letter` occurs in `letters`, ignoring case.
bool HoldsLetter(const std::string& letters, const Variant& letter) {
  return text::InStr(1, text::FoldedCodePoints(letters),
                     text::FoldedCodePoints(ConcatText(letter))) > 0;
}

// The answer given to the same check in the current stretch of held
// settings, or null. Only checks named by text are kept.
const HeldRight* HeldAnswer(const Tabrix1& object, bool of_field, const Variant& table,
                            const Variant& field, const Variant& letter) {
  if (object.Memos.held == 0 || !table.IsString() || !letter.IsString() ||
      (of_field && !field.IsString()))
    return nullptr;
  for (const HeldRight& known : object.Memos.rights) {
    if (known.of_field == of_field && known.table == table.string() &&
        known.letter == letter.string() && (!of_field || known.field == field.string()))
      return &known;
  }
  return nullptr;
}

void Hold(Tabrix1& object, bool of_field, const Variant& table, const Variant& field,
          const Variant& letter, const Variant& answer) {
  SettingMemos& memos = object.Memos;
  if (memos.held == 0 || !table.IsString() || !letter.IsString() ||
      (of_field && !field.IsString()) || memos.rights.size() >= SettingMemos::kMaxHeldAnswers)
    return;
  memos.rights.push_back(HeldRight{of_field, table.string(), of_field ? field.string() : "",
                                   letter.string(), answer.boolean()});
}

// A form may write the field when the database lets it and the user's
// field deny-list does not withhold `letter`; the answer is True or Empty.
Variant CanWriteField(Tabrix1& object, const Variant& rsf, const char* letter) {
  Variant name(ObjectAs<adodb::Field>(rsf).Name());
  bool writable = object.CanDbUpdate(rsf).boolean();
  bool allowed = object.YetkiKontrolField(object.CurrentTable, name, Variant(letter)).boolean();
  return writable && allowed ? Variant(true) : Variant();
}

}  // namespace

Variant Tabrix1::YetkiKontrol(const Variant& TableName, const Variant& Yetki) {
  if (const HeldRight* known = HeldAnswer(*this, false, TableName, Variant(), Yetki))
    return Variant(known->granted);
  // "UserId" is read for each key, so the five keys always agree with the
  // session as it stands at each read.
  auto user_setting = [&](const char* suffix) {
    return Setting("set_user" + ConcatText(Setting("UserId")) + suffix);
  };
  Variant can_table = user_setting("_CanTable");
  Variant cant_table = user_setting("_CantTable");
  Variant can_action = user_setting("_CanAction");
  Variant cant_action = user_setting("_CantAction");
  Variant cant_field = user_setting("_CantField");
  Variant answer = YetkiKontrolStr(TableName, Yetki, can_table, cant_table, can_action,
                                   cant_action, cant_field);
  Hold(*this, false, TableName, Variant(), Yetki, answer);
  return answer;
}

Variant Tabrix1::YetkiKontrolStr(const Variant& TableName, const Variant& Yetki,
                                 const Variant& CanTable, const Variant& CantTable,
                                 const Variant& /*CanAction*/, const Variant& /*CantAction*/,
                                 const Variant& /*CantField*/) {
  bool deny_list = ConcatText(CantTable) != "";
  std::string list = ConcatText(deny_list ? CantTable : CanTable);
  std::string table = ConcatText(TableName);
  std::string letters = Letters(*this, list, table, [&] { return TableHasCaseTwin(table); });
  return Variant(HoldsLetter(letters, Yetki) != deny_list);
}

Variant Tabrix1::YetkiKontrolField(const Variant& TableName, const Variant& FieldName,
                                   const Variant& Yetki) {
  if (const HeldRight* known = HeldAnswer(*this, true, TableName, FieldName, Yetki))
    return Variant(known->granted);
  Variant cant_field = Setting("set_user" + ConcatText(Setting("UserId")) + "_CantField");
  std::string table = ConcatText(TableName);
  std::string field = ConcatText(FieldName);
  std::string letters = Letters(*this, ConcatText(cant_field), table + "." + field, [&] {
    return TableHasCaseTwin(table) || FieldHasCaseTwin(table, field);
  });
  Variant answer(!HoldsLetter(letters, Yetki));
  Hold(*this, true, TableName, FieldName, Yetki, answer);
  return answer;
}

Variant Tabrix1::IntToBin(const Variant& IntegerNumber) {
  std::int64_t n = ToLong(IntegerNumber);
  std::string digits;
  do {
    // Remainder and quotient truncate toward zero, so a negative number
    // yields minus signs in its digits, as the runtime's Mod and \ do.
    digits.insert(0, std::to_string(n % 2));
    n /= 2;
  } while (n != 0);
  return Variant(digits);
}

Variant Tabrix1::CanDbUpdate(const Variant& rsf) {
  auto& field = ObjectAs<adodb::Field>(rsf);
  std::string bits = IntToBin(Variant(field.Attributes())).string();
  // The fourth digit from the right: the attribute bit of value 8.
  return Variant(bits.size() >= 4 && bits[bits.size() - 4] == '1');
}

Variant Tabrix1::CanUpdate(const Variant& rsf) { return CanWriteField(*this, rsf, "U"); }

Variant Tabrix1::CanAdd(const Variant& rsf) { return CanWriteField(*this, rsf, "A"); }

}  // namespace tabrix
