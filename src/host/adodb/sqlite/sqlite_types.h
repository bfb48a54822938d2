// SQLite values and declared types as ADO field types and Variants.
//
// A column's ADO type comes from its declared type's words, matched
// ignoring case ("VARCHAR(50)" 202, "UNSIGNED BIG INT" 20); names outside
// the table fall back by SQLite's affinity rules. A column with no declared
// type (an expression, or a table column declared without one) takes the
// type of its value: integer 20 (SQLite integers are 64-bit), real 5, text
// 202, blob 205, and 202 for Null.
#pragma once

#include <sqlite3.h>

#include <string_view>

#include "host/variant.h"

namespace tabrix::adodb::sqlite {

// The ADO type of a declared column type; 0 when `declared` is blank.
long TypeFromDeclared(std::string_view declared);
// The ADO type of a value of SQLite storage class `storage_class`
// (SQLITE_INTEGER, ...).
long TypeFromStorage(int storage_class);
// The length given in a declared type ("VARCHAR(50)" 50); 0 without one.
long DefinedSizeFromDeclared(std::string_view declared);

// Column `column` of `statement`'s current row for a field of ADO `type`:
// integer Long, real Double, text String, blob Binary, NULL Null; but
// Boolean for 11 (non-zero is True), Currency for 6, Date for ISO text in a
// date column (other text stays String), and Decimal for 131 and 14: an
// integer exactly, decimal text digit for digit, a real through its
// 15-digit text (a real or text that is no Decimal keeps its own type).
// A stored value that is not of its column's type (text in a MONEY
// column; in a date column a number, or text that is no ISO date, offsets
// such as "+02:00" included) comes as it is stored: reading never fails on
// it, and the display writes it as its text.
Variant ReadColumn(sqlite3_stmt* statement, int column, long type);

// Binds `value` to parameter `position` (1-based): Empty and Null as NULL,
// Boolean as 1/0, Currency as real, Date as ISO text, Binary as a blob, a
// Decimal as an integer when whole and in range, else as its invariant text.
// Raises 13 for arrays and objects.
void BindValue(sqlite3_stmt* statement, int position, const Variant& value);

}  // namespace tabrix::adodb::sqlite
