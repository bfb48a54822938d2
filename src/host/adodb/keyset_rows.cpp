#include "host/adodb/keyset_rows.h"

#include "host/adodb/write_observer.h"
#include "host/locale/locale.h"

namespace tabrix::adodb {

namespace {

bool SameTable(const TableRef& a, const TableRef& b) {
  return EqualsIgnoreCase(a.schema, b.schema) && EqualsIgnoreCase(a.name, b.name);
}

// Raises unless exactly one row changed.
void RequireOneRow(std::int64_t changed) {
  if (changed == 0) RaiseRowChanged(kRowNotFoundMessage);
  if (changed > 1) RaiseRowChanged(kTooManyRowsMessage);
}

// The one row of `table` that `condition` finds, its `select` list read
// as `types`; raises when there is none.
Row SelectOneRow(ConnectionBackend& db, const TableRef& table, const std::string& select,
                 const RowCondition& condition, const std::vector<long>& types) {
  std::unique_ptr<StatementBackend> statement = db.Prepare(
      "SELECT " + select + " FROM " + db.QualifiedName(table) + " WHERE " + condition.where);
  for (size_t i = 0; i < condition.values.size(); ++i)
    statement->Bind(static_cast<int>(i) + 1, condition.values[i]);
  if (!statement->Step()) RaiseRowChanged(kRowNotFoundMessage);
  Row row;
  for (size_t i = 0; i < types.size(); ++i)
    row.push_back(statement->Value(static_cast<int>(i), types[i]));
  return row;
}

}  // namespace

KeysetRows::KeysetRows(std::shared_ptr<ConnectionLink> link, std::string sql)
    : link_(std::move(link)) {
  {
    std::unique_ptr<StatementBackend> statement = db().Prepare(sql);
    bool has_row = statement->Step();
    columns_ = statement->DescribeColumns();
    while (has_row) {
      Row row;
      row.reserve(columns_.size());
      for (size_t i = 0; i < columns_.size(); ++i)
        row.push_back(statement->Value(static_cast<int>(i), columns_[i].type));
      rows_.push_back(std::move(row));
      has_row = statement->Step();
    }
  }  // the result is done before the catalog is read

  // The base table: the one table every writable column comes from.
  const TableRef* table = nullptr;
  for (const ColumnInfo& column : columns_) {
    if (!column.writable) continue;
    if (table != nullptr && !SameTable(*table, column.origin)) return;  // a join: read-only
    table = &column.origin;
  }
  if (table == nullptr) return;
  base_ = db().DescribeTable(*table);
  if (!base_.exists || base_.is_view) {
    base_.exists = false;
    return;
  }
  for (const ColumnInfo& column : columns_)
    base_columns_.push_back(column.writable ? column.origin_column : std::string());
  key_in_result_ = false;
  for (const TableColumn& column : base_.columns) {
    if (column.key_position == 0) continue;
    bool present = false;
    for (const std::string& name : base_columns_)
      present = present || EqualsIgnoreCase(name, column.name);
    key_in_result_ = present;
    if (!present) break;
  }
}

void KeysetRows::RequireBaseTable() const {
  if (!base_.exists) RaiseError(kErrAdoNotSupported, "the query has no single table to write to");
}

void KeysetRows::Assigned(const PendingValues& values, std::vector<std::string>& names,
                          std::vector<Variant>& assigned) const {
  for (size_t i = 0; i < values.size() && i < columns_.size(); ++i) {
    if (!values[i]) continue;
    if (base_columns_[i].empty())
      RaiseError(kErrAdoNotSupported, "the field '" + columns_[i].name + "' cannot be written");
    names.push_back(base_columns_[i]);
    assigned.push_back(*values[i]);
  }
}

void KeysetRows::KeyOf(const Row& row, std::vector<std::string>& names,
                       std::vector<Variant>& values) const {
  for (size_t i = 0; i < base_columns_.size(); ++i) {
    if (base_columns_[i].empty()) continue;
    names.push_back(base_columns_[i]);
    values.push_back(row[i]);
  }
}

Row KeysetRows::ReadRow(const RowCondition& condition) {
  std::string select;
  for (const std::string& name : base_columns_)
    select += (select.empty() ? "" : ", ") +
              (name.empty() ? "NULL" : db().dialect().QuoteName(name));
  std::vector<long> types;
  for (const auto& column : columns_) types.push_back(column.type);
  return SelectOneRow(db(), base_.ref, select, condition, types);
}

Row KeysetRows::ReadWholeRow(const RowCondition& condition) {
  std::string select;
  std::vector<long> types;
  for (const TableColumn& column : base_.columns) {
    select += (select.empty() ? "" : ", ") + db().dialect().QuoteName(column.name);
    types.push_back(column.type);
  }
  return SelectOneRow(db(), base_.ref, select, condition, types);
}

std::int64_t KeysetRows::Insert(const PendingValues& values) {
  RequireBaseTable();
  std::vector<std::string> names;
  std::vector<Variant> assigned;
  Assigned(values, names, assigned);
  Row row;
  link_->Write([&] {
    RowCondition where = db().InsertRow(base_, names, assigned);
    row = ReadRow(where);
    if (WriteObserver* observer = CurrentWriteObserver()) {
      RowWrite write{RowWrite::Kind::kInsert, &base_, std::nullopt, ReadWholeRow(where)};
      observer->RowWritten(db(), write);
    }
  });
  rows_.push_back(std::move(row));
  return Count() - 1;
}

void KeysetRows::Change(std::int64_t index, const PendingValues& values) {
  RequireBaseTable();
  std::vector<std::string> names;
  std::vector<Variant> assigned;
  Assigned(values, names, assigned);
  if (names.empty()) return;
  Row& held = rows_.at(static_cast<size_t>(index));
  std::vector<std::string> key_names;
  std::vector<Variant> old_values, new_values;
  KeyOf(held, key_names, old_values);
  new_values = old_values;
  for (size_t i = 0, k = 0; i < base_columns_.size(); ++i) {
    if (base_columns_[i].empty()) continue;
    if (i < values.size() && values[i]) new_values[k] = *values[i];
    ++k;
  }

  Row row;
  link_->Write([&] {
    RowCondition where = db().LocateRow(base_, key_names, old_values);
    WriteObserver* observer = CurrentWriteObserver();
    std::optional<Row> before;
    if (observer) before = ReadWholeRow(where);
    RequireOneRow(db().UpdateRows(base_, names, assigned, where));
    // A row found by its key (or by all its values) is found again by the
    // new ones; one pinned by its row id keeps that address.
    bool by_values = key_in_result_ || !base_.has_row_id;
    RowCondition found = by_values ? db().LocateRow(base_, key_names, new_values) : where;
    row = ReadRow(found);
    if (observer) {
      RowWrite write{RowWrite::Kind::kUpdate, &base_, std::move(before), ReadWholeRow(found)};
      observer->RowWritten(db(), write);
    }
  });
  held = std::move(row);
}

void KeysetRows::Remove(std::int64_t index) {
  RequireBaseTable();
  std::vector<std::string> key_names;
  std::vector<Variant> key_values;
  KeyOf(rows_.at(static_cast<size_t>(index)), key_names, key_values);
  link_->Write([&] {
    RowCondition where = db().LocateRow(base_, key_names, key_values);
    WriteObserver* observer = CurrentWriteObserver();
    std::optional<Row> before;
    if (observer) before = ReadWholeRow(where);
    RequireOneRow(db().DeleteRows(base_, where));
    if (observer) {
      RowWrite write{RowWrite::Kind::kDelete, &base_, std::move(before), std::nullopt};
      observer->RowWritten(db(), write);
    }
  });
  rows_.erase(rows_.begin() + index);
}

}  // namespace tabrix::adodb
