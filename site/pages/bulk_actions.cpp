#include "site/pages/bulk_actions.h"

#include <memory>
#include <vector>

#include "host/adodb/connection.h"
#include "host/adodb/field.h"
#include "host/adodb/one_transaction.h"
#include "host/variant_ops.h"
#include "pages/list_page_parts.h"

namespace tabrix::site {

namespace {

// A bound on the walk: never more records than the engine's positions.
constexpr std::int64_t kMaxRecords = std::int64_t{1} << 40;

void WalkToEnd(adodb::Recordset& rs, const std::function<void()>& each) {
  for (std::int64_t n = 0; !rs.Eof() && n < kMaxRecords; ++n) {
    each();
    rs.MoveNext();
  }
}

// Whether a column of ADO type `type` holds numbers (139: adVarNumeric).
bool IsNumberType(long type) {
  switch (type) {
    case adodb::kSmallInt:
    case adodb::kInteger:
    case adodb::kSingle:
    case adodb::kDouble:
    case adodb::kCurrency:
    case adodb::kDecimal:
    case adodb::kTinyInt:
    case adodb::kUnsignedTinyInt:
    case adodb::kUnsignedSmallInt:
    case adodb::kUnsignedInt:
    case adodb::kBigInt:
    case adodb::kUnsignedBigInt:
    case adodb::kNumeric:
    case 139:
      return true;
    default:
      return false;
  }
}

// `text` as one cell: quoted when it holds what would end the cell or the
// row, quotes doubled.
std::string Quoted(std::string text) {
  if (text.find_first_of(",;\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

void ApplyChangeAction(const BulkAction& action, adodb::Recordset& rs) {
  adodb::InOneTransaction(rs, [&] {
    WalkToEnd(rs, [&] {
      if (action.kind == BulkAction::Kind::kDelete) {
        rs.Delete();
      } else {
        for (const auto& [field, value] : action.values) rs.SetValue(Variant(field), value);
        rs.Update();
      }
    });
  });
}

std::string CsvCell(std::string_view text) {
  std::string cell;
  if (!text.empty() && (text.front() == '=' || text.front() == '+' || text.front() == '-' ||
                        text.front() == '@' || text.front() == '\t' || text.front() == '\r'))
    cell += '\'';
  cell += text;
  return Quoted(std::move(cell));
}

std::string CsvCell(const Variant& value, long field_type) {
  bool number =
      value.IsNumericType() && value.type() != VarType::Boolean && value.type() != VarType::Date;
  if (number && IsNumberType(field_type)) return Quoted(ConcatText(value));
  return CsvCell(ConcatText(value));
}

std::vector<ExportColumn> ListColumns(Tabrix1& page) {
  using namespace list_page;
  std::vector<ExportColumn> columns;
  long total = FieldTotal(page);
  for (long i = 1; i <= total; ++i) {
    Variant name = FieldName(page, i);
    if (!Granted(page.YetkiKontrolField(page.CurrentTable, name, Variant("V")))) continue;
    if (!IsEmptyText(page.ListFields) && !IsListItem(page.ListFields, name)) continue;
    Variant type = FieldType(page, i);
    columns.push_back({ConcatText(name), ConcatText(FieldCaptionOf(page, i)),
                       type.IsEmpty() ? 0 : static_cast<long>(ToLong(type))});
  }
  return columns;
}

std::string ExportCsv(Tabrix1& page, adodb::Recordset& rs) {
  std::vector<ExportColumn> columns = ListColumns(page);
  std::string csv = "\xEF\xBB\xBF";
  for (size_t i = 0; i < columns.size(); ++i)
    csv += (i == 0 ? "" : ",") + CsvCell(columns[i].caption);
  csv += "\r\n";
  WalkToEnd(rs, [&] {
    for (size_t i = 0; i < columns.size(); ++i)
      csv += (i == 0 ? "" : ",") + CsvCell(rs.Value(Variant(columns[i].name)), columns[i].type);
    csv += "\r\n";
  });
  return csv;
}

}  // namespace tabrix::site
