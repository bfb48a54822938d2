// The pieces the add page (Tabrix1::Add, add_page.cpp) and the update page
// (Tabrix1::Update, update_page.cpp) share.
//
// posted_values.cpp reads what a form posted for the fields of the page
// recordset and converts it by the field's type, before anything is
// written; the pages make their writes one transaction on the connection
// their keyset recordset runs on (adodb::InOneTransaction); record_writes.cpp
// stores the page's message and writes the script that takes the browser
// to the record. Every piece
// raises the error of whatever fails without catching it, except the
// transaction, which undoes its writes first.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "component/tabrix1.h"
#include "host/adodb/field.h"
#include "host/adodb/recordset.h"

namespace tabrix::record_form {

// Whether request "go" is exactly "1": the form was posted. Any other text
// ("01", "yes", " 1") or none asks for the form.
bool IsPosted(const Tabrix1& page);

// Field `position` (0-based, database order) of `rs` as the object the
// permission checks take.
Variant FieldObject(adodb::Recordset& rs, long position);

// --- posted_values.cpp ---

// One field's new value.
struct Assignment {
  std::string field;
  Variant value;
};

// The value posted for `field`, converted by its ADO type: numbers through
// CheckNum (0 for empty text), money as the number typed (the empty text
// when empty), yes/no from the regional words or a number, dates from the
// five posted parts, everything else as the posted text stands. Raises 13
// naming the field, as the user's to mend, when the text does not read as
// the field's type (grouping symbols only between groups of three digits)
// or the date parts do not make a date.
Variant PostedValue(Tabrix1& page, const adodb::Field& field);

// The posted values of the fields of `rs`, in database order, for which
// `writes(field object)` is true. Every value is converted before the
// caller writes any, so a bad date stops the page with nothing written.
std::vector<Assignment> PostedValues(Tabrix1& page, adodb::Recordset& rs,
                                     const std::function<bool(const Variant&)>& writes);

// --- record_writes.cpp ---

// Appends `text` to the session's "msg" (no separator).
void AppendMessage(Tabrix1& page, std::string_view text);

// Writes the script that moves the browser to the record page of the
// current table's record `id`; without one (a row too long to address), to
// the table's list.
void WriteRecordRedirect(Tabrix1& page, const std::optional<Variant>& id);

}  // namespace tabrix::record_form
