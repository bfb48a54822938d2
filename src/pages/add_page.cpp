// The add page of one table: the form with a row per field the user may
// fill in, and, once it is posted ("go"), the new record, stored in one
// transaction, and the way to its record page.
#include <memory>
#include <optional>
#include <string>

#include "component/tabrix1.h"
#include "host/adodb/one_transaction.h"
#include "host/html.h"
#include "host/sql/legacy_names.h"
#include "host/variant_ops.h"
#include "pages/record_form_parts.h"
#include "render/input_controls.h"
#include "values/row_address.h"

namespace tabrix {

namespace record_form {

namespace {

constexpr long kAddForm = 3;

bool MayAdd(Tabrix1& page, const Variant& field) { return ToBool(page.CanAdd(field)); }

// Inserts the posted record, then writes the way to it. The recordset
// stands on the inserted row afterwards, read back by the key the engine
// reported, so the key is this request's row (a generated key, or the one
// the form posted) whatever else was added meanwhile.
void AddPostedRecord(Tabrix1& page, adodb::Recordset& rs) {
  std::vector<Assignment> values =
      PostedValues(page, rs, [&](const Variant& field) { return MayAdd(page, field); });
  adodb::InOneTransaction(rs, [&] {
    rs.AddNew();
    for (const Assignment& a : values) rs.SetValue(Variant(a.field), a.value);
    rs.Update();
  });
  std::optional<std::string> address = row_address::OfRow(page, rs);
  AppendMessage(page, "Record added successfully!");
  WriteRecordRedirect(page, address ? std::optional<Variant>(Variant(*address)) : std::nullopt);
}

// A row of the form: the field's caption and its control.
void WriteFieldRow(Tabrix1& page, const adodb::Field& field) {
  Variant name(field.Name());
  page.Write("                    <TR>");
  page.Write("                    <th width=\"170\" valign=\"top\" align=\"left\">" +
             HtmlEscape(ConcatText(page.FieldCaption(name))) + ":</font></td>");
  page.Write(
      "                    <td valign=\"top\" width=\"300\" bgcolor=\"#ffffff\" "
      "style=\"padding:10px 10px 10px 10px;\">");
  render::WriteInputControl(page, name, Variant(field.Type()), Variant(kAddForm),
                            render::StoredValue::kShown,
                            (field.Attributes() & adodb::kIsNullable) != 0);
  page.Write("</font></td>");
  page.Write("                    </TR>");
}

// The form. Its element stays open: the hosting page closes it.
void WriteAddForm(Tabrix1& page, adodb::Recordset& rs) {
  page.PageCaption = Variant("<font size='1'>" + HtmlEscape(ConcatText(page.TableCaption)) +
                             "</font><br><img src='images/ico_ekle.gif' "
                             "align='absmiddle'>&nbsp;<b>Add New");
  page.CaptionInclude();
  page.Write("            <form action=\"Add.asp\" method=\"post\">");
  page.Write("            <input type=\"hidden\" name=\"go\" value=\"1\">");
  page.Write("            <input type=\"hidden\" name=\"t\" value=\"" +
             HtmlEscape(ConcatText(page.Param("t"))) + "\">");
  page.Write(
      "            <font size=\"1\">Please fill this fields than press \"Add\" "
      "button.<br>&nbsp;</font>");
  page.Write("            <table>");
  page.Write("            <thead>");
  long count = rs.fields().Count();
  for (long position = 0; position < count; ++position) {
    Variant field = FieldObject(rs, position);
    if (MayAdd(page, field)) WriteFieldRow(page, ObjectAs<adodb::Field>(field));
  }
  page.Write("            </thead>");
  page.Write("            </table>");
  page.Write("            <div style=\"text-align:center; width:512px;\">");
  page.Write(
      "            &nbsp;<br><input type=\"image\" src=\"images/but_add.gif\">&nbsp; "
      "<A href=\"#\" onclick=\"history.back();\"><img src=\"images/but_cancel.gif\" "
      "border=\"0\"></a>");
  page.Write("            </div>");
}

}  // namespace

}  // namespace record_form

Variant Tabrix1::Add(const Variant& GtTable) {
  using namespace record_form;
  ALLPagesBegin();
  CurrentTable = GtTable;
  GetTableSpesific(CurrentTable);
  // A user who may not add gets the refusal alone: no query runs and the
  // page does not end.
  if (!CurrentRowKey.Writable() || !ToBool(YetkiKontrol(CurrentTable, Variant("A")))) {
    Write("Access denied!");
    return Variant();
  }

  // One row of the table describes its fields and takes the new row.
  std::shared_ptr<adodb::Recordset> rs = NewRecordset();
  Rs = Variant(rs);
  OpenRecordset(*rs, "select top 1 * from " + sql::BracketedName(ConcatText(CurrentTable)),
                adodb::kKeyset, adodb::kOptimistic);
  if (IsPosted(*this))
    AddPostedRecord(*this, *rs);
  else
    WriteAddForm(*this, *rs);

  if (rs->State() == 1) rs->Close();
  Rs = Variant();
  ALLPagesEnd();
  return Variant();
}

}  // namespace tabrix
