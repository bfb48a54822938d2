// The list query: criteria from the request's field items, the sort, and the
// window of rows one page shows.
//
// The page never reads more of the result than it shows: the static cursor
// counts the records and moves to the page's first row without holding the
// rows before it.
#include <cmath>
#include <string>

#include "component/tabrix1.h"
#include "host/adodb/field.h"
#include "host/variant_ops.h"
#include "pages/list_page_parts.h"

namespace tabrix::list_page {

namespace {

enum class CriterionKind { kNone, kText, kDate, kNumber };

// How a field of ADO type `type` is searched.
CriterionKind KindOfType(long type) {
  switch (type) {
    case adodb::kChar: case adodb::kLongVarChar: case adodb::kLongVarWChar:
    case adodb::kVarChar: case adodb::kVarBinary: case adodb::kVariant:
    case adodb::kVarWChar: case adodb::kWChar:
      return CriterionKind::kText;
    case adodb::kDate: case adodb::kDBTimeStamp:
      return CriterionKind::kDate;
    case adodb::kUnsignedTinyInt: case adodb::kBoolean: case adodb::kBigInt:
    case adodb::kBinary: case adodb::kDecimal: case adodb::kDouble: case adodb::kCurrency:
    case adodb::kGUID: case adodb::kIDispatch: case adodb::kInteger: case adodb::kSingle:
    case adodb::kSmallInt: case adodb::kNumeric:
      return CriterionKind::kNumber;
    default:
      return CriterionKind::kNone;
  }
}

}  // namespace

double RequestNumber(const Tabrix1& page, std::string_view name, std::string_view meaning,
                     double fallback) {
  Variant value = page.Param(name);
  if (IsEmptyText(value)) return fallback;
  if (!IsNumeric(value)) {
    RaiseError(kErrTypeMismatch,
               "the request item \"" + std::string(name) + "\" (" + std::string(meaning) +
                   ") must be a number");
  }
  return ToDouble(value);
}

std::string SearchCriteria(Tabrix1& page) {
  // Every field of the table takes part, offered in the panel or not; the
  // field's own name is the request item.
  std::string criteria;
  long total = FieldTotal(page);
  for (long i = 1; i <= total; ++i) {
    Variant name = FieldName(page, i);
    std::string name_text = ConcatText(name);
    Variant value = page.Param(name_text);
    if (IsEmptyText(value)) continue;
    switch (KindOfType(ToLong(FieldType(page, i)))) {
      case CriterionKind::kText:
        criteria += " AND (" + name_text + " like '%" + ConcatText(page.CheckStr(value)) + "%')";
        break;
      case CriterionKind::kDate:
        // The field's own item only switches the range on; the range comes
        // from its six date parts.
        criteria += " AND (" + name_text + " " + ConcatText(page.SQLTarih(name)) + ")";
        break;
      case CriterionKind::kNumber:
        // Whatever the regional decimal symbol, SQL gets the invariant form.
        criteria += " AND (" + name_text + "= " + SqlNumberText(page.CheckNum(value)) + ")";
        break;
      case CriterionKind::kNone:
        break;
    }
  }
  return criteria;
}

std::string SortColumn(const Tabrix1& page) {
  Variant asked = page.Param("o");
  if (IsEmptyText(asked)) return "1";
  std::string asked_text = ConcatText(asked);
  std::string sort = "1";
  long total = FieldTotal(page);
  for (long i = 1; i <= total; ++i) {
    std::string name = ConcatText(FieldName(page, i));
    if (name == asked_text) sort = name;
  }
  return sort;
}

std::string SortDirection(const Tabrix1& page) {
  Variant asked = page.Param("o2");
  return asked.IsString() && asked.string() == "Asc" ? "Asc" : "Desc";
}

void OpenPageWindow(Tabrix1& page, const std::string& query, ListState& state) {
  auto rs = page.NewRecordset();
  page.Rs = Variant(rs);
  page.OpenRecordset(*rs, query + " ORDER BY " + state.sort + " " + state.dir, adodb::kStatic,
                     adodb::kReadOnly);

  state.record_count = rs->RecordCount();
  if (state.per_page == 0)
    RaiseError(kErrDivisionByZero, "the request item \"c\" (records per page) is 0");
  state.pages = static_cast<double>(state.record_count) / state.per_page;
  if (state.pages != std::trunc(state.pages)) state.pages = std::trunc(state.pages) + 1;
  // No lower bound: with no records the page becomes 0.
  if (state.page > state.pages) state.page = state.pages;
  if (!rs->Eof()) {
    // A page of 0 or less moves before the first record; the grid's first
    // row then fails for want of a current record.
    std::int64_t offset = ToLong(Variant((state.page - 1) * state.per_page));
    if (offset != 0) rs->Move(offset);
  }
}

}  // namespace tabrix::list_page
