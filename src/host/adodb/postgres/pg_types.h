// PostgreSQL types and values as ADO field types and Variants.
//
// Results come in the text format. Types map by the column's type OID:
// int2 2, int4 3, int8 20, bool 11, float4 4, float8 5, numeric 131,
// money 6, date 7, timestamp and timestamptz 135, bpchar 130, varchar and
// text 202, bytea 205, uuid 72; anything else is text, 202. A domain
// reports its base type.
#pragma once

#include <libpq-fe.h>

#include <optional>
#include <string>
#include <string_view>

#include "host/sql/name_catalog.h"
#include "host/variant.h"

namespace tabrix::adodb::postgres {

// The ADO type of a column of type `oid`.
long TypeFromOid(Oid oid);
// How the rewrite compares a column of type `oid` (a domain's base type):
// bool, money and the date and time stamp types have their own kinds; the
// integer, floating point and numeric types are numbers; text, varchar,
// bpchar, char and name are text; anything else is other.
sql::ColumnKind KindFromOid(Oid oid);
// The declared length of a column of type `oid` with modifier `typmod`
// (varchar(50) 50); 0 when it has none.
long DefinedSizeFromOid(Oid oid, int typmod);

// The value `text` of a column of type `oid`: Long, Double, Decimal (digit
// for digit; a Double when it does not fit), Currency, Boolean, Date,
// Binary for bytea, String for the rest. Text a type cannot read (dates
// such as "infinity") stays String.
Variant ReadValue(std::string_view text, Oid oid);

// `value` as a text parameter: nullopt for Empty and Null; Boolean as 1/0
// (which boolean, integer and text columns all take), numbers and dates
// in their invariant and ISO forms, Binary as bytea hex. Raises 13 for
// arrays and objects, 3001 for text that holds a NUL byte (the server
// stores none; it would be cut short).
std::optional<std::string> ParameterText(const Variant& value);

}  // namespace tabrix::adodb::postgres
