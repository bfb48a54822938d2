// Date range criteria: the search panel sends a start and an end date as
// three request items each (year, month, day), and the list page appends
// the range condition built here after the field's name. The range covers
// whole days, from midnight of the first to the last millisecond the
// database keeps of the second.
#include <string>

#include "component/tabrix1.h"
#include "host/variant_ops.h"

namespace tabrix {

Variant Tabrix1::SQLTarih(const Variant& BasName) {
  std::string base = ConcatText(BasName);
  // Each part is a number (0 when missing or not numeric), written in the
  // invariant form so that the regional decimal symbol never reaches SQL.
  auto part = [&](const char* suffix) {
    return SqlNumberText(CheckNum(FieldItem("", base, suffix)));
  };

  std::string end_year = part("2_y");
  std::string end_month = part("2_m");
  std::string end_day = part("2_d");
  std::string end = end_year + "-" + end_month + "-" + end_day + " 23:59:59.998";

  std::string start_year = part("1_y");
  std::string start_month = part("1_m");
  std::string start_day = part("1_d");
  return Variant("between '" + start_year + "-" + start_month + "-" + start_day + "' and '" + end +
                 "'");
}

}  // namespace tabrix
