// The bulk action page: the records a user picked for a numbered action,
// first confirmed on a form, then handed to the hosting page as an
// updatable (keyset) recordset that the hosting page walks from its current
// record to its end to carry the action out. The page never changes a
// record itself.
//
// Its state travels in the request: "c" record slots "id1".."idN", each
// empty or "id|title"; "onay" = "1" on the confirmed request. The form
// writes every request value back into hidden fields, escaped for the
// attribute; the action's name and the table's caption are the site's own
// settings and are written as configured.
#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "component/tabrix1.h"
#include "host/adodb/recordset.h"
#include "host/html.h"
#include "host/locale/locale.h"
#include "host/sql/legacy_names.h"
#include "host/text/split.h"
#include "host/variant_ops.h"
#include "pages/page_size.h"
#include "values/row_address.h"
#include "values/sql_literal.h"

namespace tabrix {

namespace action_page {

namespace {

// One record slot of the request: "id" + n, and the id and title it holds
// when it was picked.
struct Slot {
  std::string item;  // "id3"
  Variant value;     // as received, for the form's hidden field
  bool picked = false;
  std::string id;     // field 0 of the value
  std::string title;  // field 1 of the value
};

// The number of record slots: request "c", which must be a number (13
// otherwise, a missing "c" too). It is bounded as the list page bounds its
// page size (BoundedPageSize), so no request walks more slots than a page
// may show. A "c" of 0 or less walks no slot, so nothing is picked and the
// page raises the "no record was picked" error.
std::int64_t SlotCount(const Tabrix1& page) {
  Variant asked = page.Param("c");
  if (IsEmptyText(asked) || !IsNumeric(asked)) {
    RaiseRequestError(kErrTypeMismatch,
               "the request item \"c\" (the number of record slots) must be a number");
  }
  return BoundedPageSize(ToDouble(asked));
}

// The slots "id1".."id<count>", each split into its id and title when it
// is not empty. A filled slot without "|" raises 9 naming the slot.
std::vector<Slot> ReadSlots(const Tabrix1& page, std::int64_t count) {
  std::vector<Slot> slots;
  slots.reserve(static_cast<size_t>(count));
  for (std::int64_t n = 1; n <= count; ++n) {
    Slot slot;
    slot.item = "id" + std::to_string(n);
    slot.value = page.Param(slot.item);
    if (!IsEmptyText(slot.value)) {
      std::vector<std::string> fields = text::Split(ConcatText(slot.value), "|");
      if (fields.size() < 2) {
        RaiseRequestError(kErrSubscript, "the record slot \"" + slot.item +
                                      "\" holds no \"|\" between the record's id and its title");
      }
      slot.picked = true;
      slot.id = fields[0];
      slot.title = fields[1];
    }
    slots.push_back(std::move(slot));
  }
  return slots;
}

// An empty id list would make "in ()", which some engines refuse and some
// accept; every engine gets this error instead, before any query runs.
void RequireAPick(const std::vector<Slot>& slots) {
  for (const Slot& slot : slots)
    if (slot.picked) return;
  RaiseRequestError(kErrInvalidArgument, "no record was picked");
}

// The condition that finds the picked records. Plain key values of a
// one-column key are SQL literals of the key's type in one "in" list; any
// joined address makes one condition per record. The field list must be
// loaded, so a numeric key is compared as a number.
std::string PickedCondition(Tabrix1& page, const std::vector<Slot>& slots) {
  bool all_plain = true;
  for (const Slot& slot : slots)
    if (slot.picked && !row_address::IsPlain(page, slot.id)) all_plain = false;
  std::string condition;
  if (all_plain) {
    for (const Slot& slot : slots) {
      if (!slot.picked) continue;
      if (!condition.empty()) condition += ",";
      condition += SqlLiteralText(page.IdSQL(Variant(slot.id)));
    }
    return sql::LegacyName(ConcatText(page.IdField)) + " in (" + condition + ")";
  }
  for (const Slot& slot : slots) {
    if (!slot.picked) continue;
    if (!condition.empty()) condition += " OR ";
    condition += "(" + row_address::Condition(page, slot.id) + ")";
  }
  return condition;
}

// How many different records were picked (a record may fill two slots).
std::size_t DistinctPicks(const std::vector<Slot>& slots) {
  std::set<std::string> ids;
  for (const Slot& slot : slots)
    if (slot.picked) ids.insert(slot.id);
  return ids.size();
}

// Rs: a keyset, optimistic recordset of the picked records, the hosting
// page's to change or delete.
std::shared_ptr<adodb::Recordset> OpenPickedRecords(Tabrix1& page, const std::string& condition) {
  auto rs = page.NewRecordset();
  page.Rs = Variant(rs);
  std::string sql = "select * from " + sql::BracketedName(ConcatText(page.CurrentTable)) +
                    " WHERE " + condition;
  page.OpenRecordset(*rs, sql, adodb::kKeyset, adodb::kOptimistic);
  return rs;
}

bool Confirmed(const Tabrix1& page) {
  Variant onay = page.Param("onay");
  return onay.IsString() && onay.string() == "1";
}

std::string Hidden(const std::string& name, const Variant& value) {
  return "        <input type=\"hidden\" name=\"" + name + "\" value=\"" +
         HtmlEscape(ConcatText(value)) + "\">";
}

// The question, the picked records and the Yes and Cancel buttons; Yes
// posts every slot back with "onay" = "1".
void WriteConfirmationForm(Tabrix1& page, const Variant& action_no, const Variant& action_name,
                           const std::vector<Slot>& slots) {
  std::string table = ConcatText(page.CurrentTable);
  page.Write("        <form action=\"Action.asp\" method=\"post\">");
  page.Write(Hidden("a", action_no));
  page.Write(Hidden("t", page.TableCode(Variant(table))));
  page.Write(Hidden("c", page.Param("c")));
  page.Write(Hidden("idlistcheck", page.Param("idlistcheck")));
  page.Write(Hidden("idlist", page.Param("idlist")));
  // Every slot goes back, the empty ones too.
  for (const Slot& slot : slots) page.Write(Hidden(slot.item, slot.value));
  page.Write("        <input type=\"hidden\" name=\"onay\" value=\"1\">");
  page.Write("        &nbsp;<br>");
  page.Write("        <table class=\"none\">");
  page.Write("        <thead>");
  page.Write("          <tr>");
  page.Write("            <td class=\"none\">Are you sure to want \"<b>" + HtmlEscape(ConcatText(action_name)) +
             "</b>\" these records?");
  page.Write("            <br>");
  page.Write("            Records :<br>");
  std::string options;
  for (const Slot& slot : slots)
    if (slot.picked) options += "<option>" + HtmlEscape(slot.title) + "</option>";
  page.Write("            <select size=\"8\" style=\"width:100:px;\">" + options +
             "</select><br>&nbsp;");
  page.Write(
      "             <table class=\"none\"><tr><td class=\"none\"><input type=\"image\" "
      "src=\"images/but_yes.gif\"></td><td class=\"none\"><A href=\"#\" "
      "onclick=\"history.back();\"><img src=\"images/but_cancel.gif\" "
      "align=\"absmiddle\" border=\"0\"></a></td></tr></table>");
  page.Write("        </font></td>");
  page.Write("          </tr>");
  page.Write("        </table>");
  page.Write("        </form>");
  page.Write("        &nbsp;");
}

// After the first request the hosting page must find nothing to act on.
void MoveToEnd(adodb::Recordset& rs) {
  rs.MoveLast();
  rs.MoveNext();
}

// The message the next page shows; it replaces any earlier one.
void StoreSuccessMessage(Tabrix1& page, const Variant& action_name) {
  std::string name = Locale::Current().ToLower(ConcatText(action_name));
  page.SessionObject().SetValue("msg", Variant("Record(s) has been " + name + " successfully!"));
}

}  // namespace

}  // namespace action_page

Variant Tabrix1::Action(const Variant& GtTable, const Variant& ActionNo) {
  using namespace action_page;
  // An action number without a definition fails here, before anything else:
  // the number comes from the request.
  if (IsEmptyText(Setting("set_action" + ConcatText(ActionNo))))
    RaiseRequestError(kErrSubscript, "the action \"" + ConcatText(ActionNo) + "\" is not defined");
  Variant action_name = ActionName(ActionNo);
  CurrentTable = GtTable;
  ALLPagesBegin();
  GetTableSpesific(CurrentTable);
  // A refused user gets the refusal alone, without the page's end.
  if (!CurrentRowKey.Writable() || !ToBool(ActionThis(ActionNo, CurrentTable))) {
    Write("Access Denied!");
    return Variant();
  }

  std::vector<Slot> slots = ReadSlots(*this, SlotCount(*this));
  RequireAPick(slots);
  // The key's type decides how the ids are written: the field list is
  // loaded first, so a numeric key is compared as a number.
  GetFieldList(CurrentTable);
  std::shared_ptr<adodb::Recordset> rs = OpenPickedRecords(*this, PickedCondition(*this, slots));
  const std::size_t picked = DistinctPicks(slots);
  PageCaption = Variant("<font size='1'>" + HtmlEscape(ConcatText(TableCaption)) +
                        "</font><br><b>" + HtmlEscape(ConcatText(action_name)));
  if (rs->Eof()) {
    Write("No record found!");
  } else if (static_cast<std::size_t>(rs->RecordCount()) > picked) {
    // An address that matches more than its one record (rows that cannot
    // be told apart): nothing is done to any of them.
    Write("The picked addresses match " + std::to_string(rs->RecordCount()) + " records, not " +
          std::to_string(picked) + ": nothing was changed.");
    MoveToEnd(*rs);
  } else {
    CaptionInclude();
    if (Confirmed(*this)) {
      StoreSuccessMessage(*this, action_name);
    } else {
      WriteConfirmationForm(*this, ActionNo, action_name, slots);
      MoveToEnd(*rs);
    }
  }
  Variant result = Rs;
  ALLPagesEnd();
  return result;
}

}  // namespace tabrix
