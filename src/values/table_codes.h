// Table codes of one menu. EnCr gives each table name its code, and two
// names can share one (names outside the code page, or characters whose
// codes differ by one); the menu needs one code per table, because the code
// is the only way from a link back to its table.
#pragma once

#include <string>
#include <vector>

namespace tabrix::values {

// One distinct code per table of a menu, from `codes`, the EnCr codes of its
// tables in menu order. A code that no other table of the menu has stays
// exactly as it is, and so does the first of several equal codes; each later
// one gets the first suffix of code-alphabet characters ("A" to "9", then
// "AA", "AB", ...) that makes it differ from every code of the menu, those
// given before it and the EnCr codes of the tables after it. The same codes
// in the same order always give the same result.
std::vector<std::string> DistinctCodes(const std::vector<std::string>& codes);

}  // namespace tabrix::values
