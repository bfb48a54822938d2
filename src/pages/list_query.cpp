// The list query: criteria from the request's field items, the sort, and the
// window of rows one page shows.
//
// The page never reads more of the result than it shows: the static cursor
// counts the records and moves to the page's first row without holding the
// rows before it.
#include <cmath>
#include <optional>
#include <string>

#include "component/tabrix1.h"
#include "host/adodb/field.h"
#include "host/locale/locale.h"
#include "host/sql/legacy_names.h"
#include "host/variant_ops.h"
#include "pages/list_page_parts.h"
#include "pages/page_size.h"
#include "values/sql_literal.h"

namespace tabrix::list_page {

namespace {

constexpr size_t kMaxCriterionBytes = 1000;

enum class CriterionKind { kNone, kText, kDate, kNumber, kBoolean };

// How a field of ADO type `type` is searched.
CriterionKind KindOfType(long type) {
  switch (type) {
    case adodb::kChar: case adodb::kLongVarChar: case adodb::kLongVarWChar:
    case adodb::kVarChar: case adodb::kVarBinary: case adodb::kVariant:
    case adodb::kVarWChar: case adodb::kWChar:
      return CriterionKind::kText;
    case adodb::kDate: case adodb::kDBTimeStamp:
      return CriterionKind::kDate;
    case adodb::kBoolean:
      return CriterionKind::kBoolean;
    case adodb::kUnsignedTinyInt: case adodb::kBigInt:
    case adodb::kBinary: case adodb::kDecimal: case adodb::kDouble: case adodb::kCurrency:
    case adodb::kGUID: case adodb::kIDispatch: case adodb::kInteger: case adodb::kSingle:
    case adodb::kSmallInt: case adodb::kNumeric:
      return CriterionKind::kNumber;
    default:
      return CriterionKind::kNone;
  }
}

// Whether the user may see field `name` of the current table. A field the
// user may not view neither narrows nor orders the list: either would let
// its values be guessed.
bool Viewable(Tabrix1& page, const Variant& name) {
  return Granted(page.YetkiKontrolField(page.CurrentTable, name, Variant("V")));
}

// The typed number as SQL gets it: the invariant form of every digit typed,
// so a whole number of 16 digits and more stays exact (and 0.1 stays 0.1);
// past what a Decimal holds, the double; text that is no number is 0, as
// CheckNum makes it.
std::string CriterionNumber(Tabrix1& page, const Variant& value) {
  if (std::optional<Variant> typed = TypedNumber(value)) return SqlNumberText(*typed);
  return SqlNumberText(page.CheckNum(value));
}

// Whether a boolean criterion asks for the true rows: "True", "yes" or the
// locale's word for it, or a non-zero number ("-1" and "1" alike, since
// engines store true as either); "False", "no", the locale's word or 0 ask
// for the false rows. Any other text is refused: taken as 0, "paid=maybe"
// would quietly list the unpaid rows.
bool CriterionIsTrue(Tabrix1& page, const std::string& name, const Variant& value) {
  if (value.IsString()) {
    if (std::optional<bool> word = Locale::Current().ParseBoolean(value.string())) return *word;
    std::string text = value.string();
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t") + 1);
    if (EqualsIgnoreCase(text, "yes")) return true;
    if (EqualsIgnoreCase(text, "no")) return false;
    if (!IsNumeric(value))
      RaiseRequestError(kErrTypeMismatch, "the search value for \"" + name + "\" is \"" + text +
                                              "\", which is no yes/no answer: search it with "
                                              "True or False (or 1 and 0)");
  }
  return !Equals(page.CheckNum(value), Variant(0));
}

}  // namespace

double RequestNumber(const Tabrix1& page, std::string_view name, std::string_view meaning,
                     double fallback) {
  Variant value = page.Param(name);
  if (IsEmptyText(value)) return fallback;
  if (!IsNumeric(value)) {
    RaiseRequestError(kErrTypeMismatch,
               "the request item \"" + std::string(name) + "\" (" + std::string(meaning) +
                   ") must be a number");
  }
  return ToDouble(value);
}

std::string SearchCriteria(Tabrix1& page) {
  // Every viewable field of the table takes part, offered in the panel or
  // not; the field's own name is the request item.
  std::string criteria;
  long total = FieldTotal(page);
  for (long i = 1; i <= total; ++i) {
    Variant name = FieldName(page, i);
    std::string name_text = ConcatText(name);
    Variant value = page.FieldItem("", name_text);
    if (IsEmptyText(value) || !Viewable(page, name)) continue;
    // A search value is something typed: a longer one is no search, and
    // the engines refuse patterns past their own bounds.
    if (ConcatText(value).size() > kMaxCriterionBytes) {
      RaiseRequestError(kErrInvalidArgument,
                        "the search value for \"" + name_text + "\" is longer than " +
                            std::to_string(kMaxCriterionBytes) + " bytes");
    }
    name_text = sql::LegacyName(name_text);
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
        criteria += " AND (" + name_text + "= " + CriterionNumber(page, value) + ")";
        break;
      case CriterionKind::kBoolean:
        criteria += " AND (" + name_text +
                    (CriterionIsTrue(page, ConcatText(name), value) ? " <> 0)" : "= 0)");
        break;
      case CriterionKind::kNone:
        break;
    }
  }
  return criteria;
}

std::string SortColumn(Tabrix1& page) {
  Variant asked = page.Param("o");
  if (IsEmptyText(asked)) return "1";
  std::string asked_text = ConcatText(asked);
  std::string sort = "1";
  long total = FieldTotal(page);
  for (long i = 1; i <= total; ++i) {
    Variant name = FieldName(page, i);
    std::string name_text = ConcatText(name);
    if (name_text == asked_text && Viewable(page, name)) sort = name_text;
  }
  return sort;
}

std::string SortSql(const std::string& sort) {
  return sort == "1" ? sort : sql::LegacyName(sort);
}

std::string SortDirection(const Tabrix1& page) {
  Variant asked = page.Param("o2");
  return asked.IsString() && asked.string() == "Asc" ? "Asc" : "Desc";
}

std::string ListQuery::Ordered() const {
  return select + " ORDER BY " + SortSql(sort) + " " + dir;
}

ListQuery RequestListQuery(Tabrix1& page) {
  ListQuery query;
  query.criteria = "1=1" + SearchCriteria(page);
  query.select = "select " + ConcatText(page.SelectFieldList(page.CurrentTable)) + " from " +
                 sql::BracketedName(ConcatText(page.CurrentTable)) + " WHERE " + query.criteria;
  query.sort = SortColumn(page);
  query.dir = SortDirection(page);
  return query;
}

void OpenPageWindow(Tabrix1& page, const std::string& query, ListState& state) {
  auto rs = page.NewRecordset();
  page.Rs = Variant(rs);
  // The cursor reads a page's rows and the step past its last at once (one
  // fetch where the engine has a round trip per fetch): a sort then keeps
  // only those rows, and related captions are looked up for them alone.
  if (std::int64_t window = BoundedPageSize(state.asked_per_page); window > 0)
    rs->SetCacheSize(window + 1);
  ListQuery ordered{state.criteria, query, state.sort, state.dir};
  page.OpenRecordset(*rs, ordered.Ordered(), adodb::kStatic, adodb::kReadOnly);

  state.record_count = rs->RecordCount();
  if (state.asked_per_page == 0)
    RaiseRequestError(kErrDivisionByZero, "the request item \"c\" (records per page) is 0");
  state.per_page = BoundedPageSize(state.asked_per_page);
  if (state.per_page == 0) {
    RaiseRequestError(kErrInvalidArgument,
               "the request item \"c\" (records per page) must be more than 0, not " +
                   ConcatText(Variant(state.asked_per_page)));
  }
  state.pages = state.record_count / state.per_page +
                (state.record_count % state.per_page != 0 ? 1 : 0);
  // A page below 1 (or a fraction of the first) is the first; a page past
  // the last is the last, so with no records the page becomes 0. The
  // comparisons stay in doubles until the page is known to fit.
  if (!(state.asked_page >= 1))
    state.page = 1;
  else if (state.asked_page > static_cast<double>(state.pages))
    state.page = state.pages;
  else
    state.page = static_cast<std::int64_t>(std::floor(state.asked_page));
  if (state.page > state.pages) state.page = state.pages;
  std::int64_t offset = (state.page - 1) * state.per_page;
  if (!rs->Eof() && offset > 0) rs->Move(offset);
}

}  // namespace tabrix::list_page
