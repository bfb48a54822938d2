// Row addresses: the text that names one row of the current table in the
// links and selection boxes of the pages, and the SQL condition that finds
// it again.
//
// A table keyed by one column keeps the key's own text as the address, as
// links always carried it. A key of several columns, and a table without a
// key (addressed by its values), join their parts behind a "~": each part
// with "%", "~", "|", "&" and "!" written as %XX, and a Null part as "!".
// So an address never holds a raw "|" (the selection box puts the record's
// title after one) nor "&". A one-column key whose text holds "|" or starts
// with "~", and a Null key, take that form too. Numbers in the joined form
// are invariant and exact (a double keeps every digit), dates ISO text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "component/tabrix1.h"

namespace tabrix::row_address {

// An address longer than this is not written: its row is shown read-only.
inline constexpr std::size_t kMaxAddressBytes = 2048;

// The address of the current row of `rs` (which selects the current
// table's columns); nullopt when the row cannot be addressed: the address
// would pass kMaxAddressBytes, or a key part is binary.
std::optional<std::string> OfRow(Tabrix1& page, adodb::Recordset& rs);

// The address of the row whose one-column key holds `value`.
std::string OfKeyValue(const Variant& value);

// The address of a row by the values of its key columns (or, for a table
// without a key, of all its columns), in the order of those columns: one
// value as OfKeyValue writes it, several joined. nullopt as OfRow.
std::optional<std::string> OfValues(const std::vector<Variant>& values);

// The columns of `table`'s primary key, read from the schema once per
// object: the current table's by GetTableSpesific, a related table's by the
// relation links of every row.
const std::vector<std::string>& KeyColumnsOf(Tabrix1& page, const std::string& table);

// Whether `address` is a plain key value, as written before rows had
// joined addresses: no "~" in front.
bool IsPlain(const Tabrix1& page, const std::string& address);

// The condition (without WHERE) that finds the rows of `address` in the
// current table, each part compared as its column's type takes it (the
// field list must be loaded). Raises 5 when the address is malformed or
// has another number of parts than the table's key.
std::string Condition(Tabrix1& page, const std::string& address);

// The columns an address of the current table is made of: the key's, or,
// for a table without one, those of its values the user may view.
std::vector<std::string> AddressColumns(Tabrix1& page);

}  // namespace tabrix::row_address
