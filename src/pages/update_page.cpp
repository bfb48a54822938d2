// The update page of one record: the form with a box to tick and the
// current value of each field the user may change, and, once it is posted
// ("go"), the ticked fields written in one transaction and the way back to
// the record page.
#include <memory>
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

constexpr long kUpdateForm = 2;

bool MayUpdate(Tabrix1& page, const Variant& field) { return ToBool(page.CanUpdate(field)); }

// Whether the form's box of field `name` was ticked: exactly "Yes".
bool Ticked(Tabrix1& page, const std::string& name) {
  Variant box = page.FieldItem("Checked_", name);
  return box.IsString() && box.string() == "Yes";
}

// The record at the address of request "id"; the field list must be loaded
// so that a numeric key is compared as a number.
std::string RecordQuery(Tabrix1& page) {
  return "select * from " + sql::BracketedName(ConcatText(page.CurrentTable)) + " WHERE " +
         row_address::Condition(page, ConcatText(page.Param("id")));
}

// Writes the ticked fields into the current row (an Update even when none
// is ticked), then the message and the way back to record `record_id`.
void SavePostedChanges(Tabrix1& page, adodb::Recordset& rs, const Variant& record_id) {
  std::vector<Assignment> values = PostedValues(page, rs, [&](const Variant& field) {
    return MayUpdate(page, field) && Ticked(page, ObjectAs<adodb::Field>(field).Name());
  });
  adodb::InOneTransaction(rs, [&] {
    for (const Assignment& a : values) rs.SetValue(Variant(a.field), a.value);
    rs.Update();
  });
  AppendMessage(page, "Record updated successfully!");
  WriteRecordRedirect(page, record_id);
}

// A row of the form: the box, the caption and the control. A field the user
// may change but not view shows no stored value.
void WriteFieldRow(Tabrix1& page, const adodb::Field& field) {
  Variant name(field.Name());
  page.Write("                    <tr>");
  page.Write(
      "                    <th width=\"170\" valign=\"top\" align=\"left\"><font size=\"1\" "
      "face=\"MS Sans Serif\"><input type=\"checkbox\" name=\"Checked_" +
      HtmlEscape(field.Name()) + "\" value=\"Yes\" style=\"border: 0 solid #FFFFFF\"></font>&nbsp;" +
      HtmlEscape(ConcatText(page.FieldCaption(name))) + ":</font></td>");
  page.Write(
      "                    <td valign=\"top\" width=\"300\" bgcolor=\"#ffffff\" "
      "style=\"padding:10px 10px 10px 10px;\">");
  bool viewable = ToBool(page.YetkiKontrolField(page.CurrentTable, name, Variant("V")));
  render::WriteInputControl(
      page, name, Variant(field.Type()), Variant(kUpdateForm),
      viewable ? render::StoredValue::kShown : render::StoredValue::kWithheld,
      (field.Attributes() & adodb::kIsNullable) != 0);
  page.Write("</td>");
  page.Write("                    </tr>");
}

// The form, with the heading inside it.
void WriteUpdateForm(Tabrix1& page, adodb::Recordset& rs, const Variant& record_id) {
  std::string title = HtmlEscape(ConcatText(rs.Value(page.TitleField)));
  page.PageCaption =
      Variant("<font size='1'>" + HtmlEscape(ConcatText(page.TableCaption)) + "</font><br>&nbsp;<b>" +
              title);
  page.Write("<form action=\"Update.asp\" method=\"post\">");
  page.CaptionInclude();
  page.Write("            <input type=\"hidden\" name=\"go\" value=\"1\">");
  std::string code = ConcatText(page.TableCode(page.CurrentTable));
  page.Write("            <input type=\"hidden\" name=\"t\" value=\"" + HtmlEscape(code) + "\">");
  page.Write("            <input type=\"hidden\" name=\"id\" value=\"" +
             HtmlEscape(ConcatText(record_id)) + "\">");
  page.Write(
      "            <font size=\"1\">Please select fields which you want to change and input "
      "your new values.<br>&nbsp;</font>");
  page.Write("            <table>");
  page.Write("                <thead>");
  long count = rs.fields().Count();
  for (long position = 0; position < count; ++position) {
    Variant field = FieldObject(rs, position);
    if (MayUpdate(page, field)) WriteFieldRow(page, ObjectAs<adodb::Field>(field));
  }
  page.Write("            </thead>");
  page.Write("            </table>");
  page.Write("            <div style=\"text-align:center; width:512px;\">");
  page.Write(
      "            &nbsp;<br><input type=\"image\" src=\"images/but_update.gif\">&nbsp; "
      "<A href=\"#\" onclick=\"history.back();\"><img src=\"images/but_cancel.gif\" "
      "border=\"0\"></a>");
  page.Write("            </div>");
  page.Write("            </form>");
}

}  // namespace

}  // namespace record_form

Variant Tabrix1::Update(const Variant& GtTable, const Variant& RecordId) {
  using namespace record_form;
  ALLPagesBegin();
  CurrentTable = GtTable;
  GetTableSpesific(CurrentTable);
  // A user who may not update gets the refusal alone: no query runs and
  // the page does not end.
  if (!CurrentRowKey.Writable() || !ToBool(YetkiKontrol(CurrentTable, Variant("U")))) {
    Write("Access denied!");
    return Variant();
  }
  GetFieldList(CurrentTable);

  // The record is always the one request "id" names; RecordId is only
  // written back into the form and the way back.
  std::shared_ptr<adodb::Recordset> rs = NewRecordset();
  Rs = Variant(rs);
  OpenRecordset(*rs, RecordQuery(*this), adodb::kKeyset, adodb::kOptimistic);
  if (rs->RecordCount() > 1) {
    // Rows the address cannot tell apart are never changed, neither of them.
    Write("This address matches " + std::to_string(rs->RecordCount()) +
          " records, which cannot be told apart: nothing was changed.");
  } else if (!rs->Eof()) {
    if (IsPosted(*this))
      SavePostedChanges(*this, *rs, RecordId);
    else
      WriteUpdateForm(*this, *rs, RecordId);
  }

  if (rs->State() == 1) rs->Close();
  Rs = Variant();
  ALLPagesEnd();
  return Variant();
}

}  // namespace tabrix
