#include "host/adodb/list_window.h"

#include <algorithm>

namespace tabrix::adodb {

namespace {

// The key columns that must follow `list`'s order to make it total, each
// qualified by the list's alias; none when the order starts with the whole
// key, or when the table has no key (a view, a table without one: their
// windows keep the engine's order for equal values).
std::vector<std::string> Tiebreak(ConnectionBackend& db, const sql::PagedList& list) {
  if (list.order.empty()) return {};
  TableInfo table = db.DescribeTable(TableRef{list.schema, list.table});
  if (!table.exists || table.is_view) return {};
  std::vector<const TableColumn*> key = KeyColumns(table);
  const std::vector<std::string>& leading = list.leading_order_columns;
  bool ordered_by_key =
      !key.empty() && std::all_of(key.begin(), key.end(), [&](const TableColumn* column) {
        return IndexOfName(leading, column->name) >= 0;
      });
  if (ordered_by_key) return {};
  std::vector<std::string> names;
  for (const TableColumn* column : key)
    names.push_back(list.alias + "." + db.dialect().QuoteName(column->name));
  return names;
}

}  // namespace

ListWindow::ListWindow(ConnectionBackend& db, std::string sql)
    : sql_(std::move(sql)), list_(sql::PagedListOf(sql_)) {
  if (list_) tiebreak_ = Tiebreak(db, *list_);
}

std::string ListWindow::RowsFrom(std::int64_t offset, std::int64_t limit) const {
  if (list_) return sql::PagedListWindow(*list_, tiebreak_, offset, limit);
  return sql::LimitedWindow(sql_, offset, limit);
}

}  // namespace tabrix::adodb
