#include "site/pages/bulk_actions.h"

#include <memory>
#include <vector>

#include "host/adodb/connection.h"
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
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string quoted = "\"";
  for (char c : cell) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string ExportCsv(Tabrix1& page, adodb::Recordset& rs) {
  using namespace list_page;
  std::vector<Variant> names;
  std::string csv = "\xEF\xBB\xBF";
  long total = FieldTotal(page);
  for (long i = 1; i <= total; ++i) {
    Variant name = FieldName(page, i);
    // The list page's columns: the fields the user may view that
    // ListFields names, or all of them when it names none.
    if (!Granted(page.YetkiKontrolField(page.CurrentTable, name, Variant("V")))) continue;
    if (!IsEmptyText(page.ListFields) && !IsListItem(page.ListFields, name)) continue;
    csv += (names.empty() ? "" : ",") + CsvCell(ConcatText(FieldCaptionOf(page, i)));
    names.push_back(name);
  }
  csv += "\r\n";
  WalkToEnd(rs, [&] {
    for (size_t i = 0; i < names.size(); ++i)
      csv += (i == 0 ? "" : ",") + CsvCell(ConcatText(rs.Value(names[i])));
    csv += "\r\n";
  });
  return csv;
}

}  // namespace tabrix::site
