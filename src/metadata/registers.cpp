// The registers a hosting page fills for the rest of the request: rows of
// ten values about tables (Tables, looked up by name with TableProperties),
// rows of four values about links (Links), and extra fields appended to the
// current table's field list (AddField).
//
// The registers are fixed arrays, rows and columns 0..100 by 0..10 (0..4 for
// links); row 0 and column 0 are never written. An index outside them raises
// 9 as an array subscript would, and a count raised past the last row stays
// raised, so every later call fails the same way.
#include <string>

#include "component/tabrix1.h"
#include "host/locale/locale.h"
#include "host/scripting/dictionary.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

// `index` as a subscript of an array with `size` entries: a number rounded
// as the runtime rounds subscripts, raising 9 outside 0..size-1. What does
// not convert raises its conversion error (13, 94).
size_t Subscript(const Variant& index, size_t size, const char* what) {
  std::int64_t i = ToLong(index);
  if (i < 0 || static_cast<std::uint64_t>(i) >= size)
    RaiseError(kErrSubscript, std::string(what) + " " + std::to_string(i) + " is outside 0 to " +
                                  std::to_string(size - 1));
  return static_cast<size_t>(i);
}

// The register's count raised by one; Empty counts as 0.
Variant NextRow(const Variant& count) { return Variant(ToLong(count) + 1); }

// A cell's value as the lower-case comparison of names sees it: Null
// matches nothing, Empty is "".
bool NamesMatch(const Variant& cell, const Variant& wanted) {
  if (cell.IsNull() || wanted.IsNull()) return false;
  return EqualsIgnoreCase(ConcatText(cell), ConcatText(wanted));
}

}  // namespace

Variant Tabrix1::AddTable(const Variant& G1, const Variant& G2, const Variant& G3,
                          const Variant& G4, const Variant& G5, const Variant& G6,
                          const Variant& G7, const Variant& G8, const Variant& G9,
                          const Variant& G10) {
  // The count goes up before the row is checked: once past the last row it
  // stays there.
  TableCount = NextRow(TableCount);
  auto& row = Tables[Subscript(TableCount, Tables.size(), "table register row")];
  const Variant* values[] = {&G1, &G2, &G3, &G4, &G5, &G6, &G7, &G8, &G9, &G10};
  for (size_t column = 1; column <= std::size(values); ++column) row[column] = *values[column - 1];
  return Variant();
}

Variant Tabrix1::AddLink(const Variant& G1, const Variant& G2, const Variant& G3,
                         const Variant& G4) {
  LinkCount = NextRow(LinkCount);
  auto& row = Links[Subscript(LinkCount, Links.size(), "link register row")];
  const Variant* values[] = {&G1, &G2, &G3, &G4};
  for (size_t column = 1; column <= std::size(values); ++column) row[column] = *values[column - 1];
  return Variant();
}

Variant Tabrix1::TableProperties(const Variant& TabloName, const Variant& PNo) {
  // TableCount may have been set by the menu to a number of its own; the
  // scan raises 9 on reaching a row past the register's last.
  double count = ToDouble(TableCount);
  for (std::int64_t i = 1; i <= count; ++i) {
    auto& row = Tables[Subscript(Variant(i), Tables.size(), "table register row")];
    if (!NamesMatch(row[2], TabloName)) continue;
    return row[Subscript(PNo, row.size(), "table register column")];
  }
  return Variant();
}

Variant Tabrix1::AddField(const Variant& FName, const Variant& FCaption, const Variant& FType) {
  // The count goes up first; the maps are the ones GetFieldList loaded (the
  // session's cached maps), so the field stays in the cache, and before any
  // GetFieldList there is no map and the call fails with 424.
  FieldCount = Variant(ToDouble(FieldCount) + 1);
  ObjectAs<scripting::Dictionary>(FieldNames).Add(FieldCount, FName);
  ObjectAs<scripting::Dictionary>(FieldCaptions).Add(FieldCount, FCaption);
  ObjectAs<scripting::Dictionary>(FieldTypes).Add(FieldCount, FType);
  return Variant();
}

}  // namespace tabrix
