#include "host/adodb/schema_rowsets.h"

#include <algorithm>
#include <optional>

#include "host/adodb/column_attributes.h"
#include "host/adodb/memory_rows.h"
#include "host/adodb/recordset_impl.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"

namespace tabrix::adodb {

namespace {

// Restriction `index` of the criteria array; nullopt when not given.
std::optional<std::string> Restriction(const Variant& restrictions, size_t index) {
  if (restrictions.IsEmpty() || restrictions.IsNull()) return std::nullopt;
  if (!restrictions.IsArray()) RaiseError(kErrAdoArguments, "the restrictions are not an array");
  const VariantArray& items = restrictions.array();
  if (index >= items.size() || items[index].IsEmpty() || items[index].IsNull()) return std::nullopt;
  return ToText(items[index]);
}

std::vector<ColumnInfo> Describe(std::initializer_list<std::pair<const char*, long>> columns) {
  std::vector<ColumnInfo> described;
  for (const auto& [name, type] : columns) {
    ColumnInfo info;
    info.name = name;
    info.type = type;
    info.attributes = ColumnAttributes(type, false, true);
    described.push_back(std::move(info));
  }
  return described;
}

std::shared_ptr<Recordset> InMemory(std::vector<ColumnInfo> columns, std::vector<Row> rows) {
  auto recordset = std::make_shared<RecordsetImpl>();
  recordset->OpenOn(std::make_unique<MemoryRows>(std::move(columns), std::move(rows)));
  return recordset;
}

std::vector<TableEntry> SortedTables(ConnectionBackend& connection) {
  std::vector<TableEntry> tables = connection.ListTables();
  std::vector<std::pair<std::string, size_t>> keys;
  for (size_t i = 0; i < tables.size(); ++i) keys.emplace_back(FoldCase(tables[i].name), i);
  std::vector<size_t> order(tables.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    if (tables[a].type != tables[b].type) return tables[a].type < tables[b].type;
    if (keys[a].first != keys[b].first) return keys[a].first < keys[b].first;
    return tables[a].name < tables[b].name;
  });
  std::vector<TableEntry> sorted;
  for (size_t i : order) sorted.push_back(tables[i]);
  return sorted;
}

bool IsTextOrBinary(long type) {
  switch (type) {
    case kChar:
    case kWChar:
    case kVarChar:
    case kVarWChar:
    case kLongVarChar:
    case kLongVarWChar:
    case kBinary:
    case kVarBinary:
    case kLongVarBinary: return true;
    default: return false;
  }
}

}  // namespace

std::shared_ptr<Recordset> TablesRowset(ConnectionBackend& connection,
                                        const Variant& restrictions) {
  std::optional<std::string> name = Restriction(restrictions, 2);
  std::optional<std::string> type = Restriction(restrictions, 3);
  std::vector<Row> rows;
  for (const TableEntry& table : SortedTables(connection)) {
    if (name && !EqualsIgnoreCase(*name, table.name)) continue;
    if (type && *type != table.type) continue;
    rows.push_back({Variant::Null(), Variant::Null(), Variant(table.name), Variant(table.type),
                    Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(),
                    Variant::Null()});
  }
  return InMemory(Describe({{"TABLE_CATALOG", kVarWChar},
                            {"TABLE_SCHEMA", kVarWChar},
                            {"TABLE_NAME", kVarWChar},
                            {"TABLE_TYPE", kVarWChar},
                            {"TABLE_GUID", kGUID},
                            {"DESCRIPTION", kVarWChar},
                            {"TABLE_PROPID", kUnsignedInt},
                            {"DATE_CREATED", kDate},
                            {"DATE_MODIFIED", kDate}}),
                  std::move(rows));
}

std::shared_ptr<Recordset> ColumnsRowset(ConnectionBackend& connection,
                                         const Variant& restrictions) {
  std::optional<std::string> table_name = Restriction(restrictions, 2);
  std::optional<std::string> column_name = Restriction(restrictions, 3);
  std::vector<TableInfo> tables;
  if (table_name) {
    tables.push_back(connection.DescribeTable({"", *table_name}));
  } else {
    for (const TableEntry& entry : SortedTables(connection))
      tables.push_back(connection.DescribeTable({"", entry.name}));
  }

  std::vector<Row> rows;
  for (const TableInfo& table : tables) {
    if (!table.exists) continue;
    long ordinal = 0;
    for (const TableColumn& column : table.columns) {
      ++ordinal;
      if (column_name && !EqualsIgnoreCase(*column_name, column.name)) continue;
      bool nullable = !column.not_null;
      bool writable = !table.is_view && !column.generated && !column.auto_key;
      Variant length = Variant::Null();
      if (IsTextOrBinary(column.type) && column.defined_size > 0)
        length = Variant(column.defined_size);
      Variant null = Variant::Null();
      rows.push_back({null,
                      null,
                      Variant(table.ref.name),
                      Variant(column.name),
                      null,
                      null,
                      Variant(ordinal),
                      Variant(column.has_default),
                      column.has_default ? Variant(column.default_text) : null,
                      Variant(ColumnAttributes(column.type, writable, nullable)),
                      Variant(nullable),
                      Variant(column.type),
                      null,
                      length,
                      null,
                      null,
                      null,
                      null,
                      null,
                      null,
                      null,
                      null,
                      null,
                      null,
                      null,
                      null,
                      null,
                      null});
    }
  }
  return InMemory(Describe({{"TABLE_CATALOG", kVarWChar},
                            {"TABLE_SCHEMA", kVarWChar},
                            {"TABLE_NAME", kVarWChar},
                            {"COLUMN_NAME", kVarWChar},
                            {"COLUMN_GUID", kGUID},
                            {"COLUMN_PROPID", kUnsignedInt},
                            {"ORDINAL_POSITION", kUnsignedInt},
                            {"COLUMN_HASDEFAULT", kBoolean},
                            {"COLUMN_DEFAULT", kVarWChar},
                            {"COLUMN_FLAGS", kUnsignedInt},
                            {"IS_NULLABLE", kBoolean},
                            {"DATA_TYPE", kUnsignedSmallInt},
                            {"TYPE_GUID", kGUID},
                            {"CHARACTER_MAXIMUM_LENGTH", kUnsignedInt},
                            {"CHARACTER_OCTET_LENGTH", kUnsignedInt},
                            {"NUMERIC_PRECISION", kUnsignedSmallInt},
                            {"NUMERIC_SCALE", kSmallInt},
                            {"DATETIME_PRECISION", kUnsignedInt},
                            {"CHARACTER_SET_CATALOG", kVarWChar},
                            {"CHARACTER_SET_SCHEMA", kVarWChar},
                            {"CHARACTER_SET_NAME", kVarWChar},
                            {"COLLATION_CATALOG", kVarWChar},
                            {"COLLATION_SCHEMA", kVarWChar},
                            {"COLLATION_NAME", kVarWChar},
                            {"DOMAIN_CATALOG", kVarWChar},
                            {"DOMAIN_SCHEMA", kVarWChar},
                            {"DOMAIN_NAME", kVarWChar},
                            {"DESCRIPTION", kVarWChar}}),
                  std::move(rows));
}

std::shared_ptr<Recordset> PrimaryKeysRowset(ConnectionBackend& connection,
                                             const Variant& restrictions) {
  std::optional<std::string> table_name = Restriction(restrictions, 2);
  if (!table_name) RaiseError(kErrAdoArguments, "the primary keys rowset needs a table name");
  TableInfo table = connection.DescribeTable({"", *table_name});
  std::vector<std::pair<int, const TableColumn*>> key;
  if (table.exists && !table.is_view)
    for (const TableColumn& column : table.columns)
      if (column.key_position > 0) key.emplace_back(column.key_position, &column);
  std::sort(key.begin(), key.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<Row> rows;
  Variant null = Variant::Null();
  for (const auto& [position, column] : key)
    rows.push_back({null, null, Variant(table.ref.name), Variant(column->name), null, null,
                    Variant(static_cast<long>(position)), null});
  return InMemory(Describe({{"TABLE_CATALOG", kVarWChar},
                            {"TABLE_SCHEMA", kVarWChar},
                            {"TABLE_NAME", kVarWChar},
                            {"COLUMN_NAME", kVarWChar},
                            {"COLUMN_GUID", kGUID},
                            {"COLUMN_PROPID", kUnsignedInt},
                            {"ORDINAL", kUnsignedInt},
                            {"PK_NAME", kVarWChar}}),
                  std::move(rows));
}

namespace {

Variant TextOrNull(const std::string& text) {
  return text.empty() ? Variant::Null() : Variant(text);
}

}  // namespace

std::shared_ptr<Recordset> ForeignKeysRowset(ConnectionBackend& connection,
                                             const Variant& restrictions) {
  std::optional<std::string> referred_name = Restriction(restrictions, 2);
  std::optional<std::string> table_name = Restriction(restrictions, 5);
  std::vector<Row> rows;
  Variant null = Variant::Null();
  for (const ForeignKey& key : connection.ListForeignKeys()) {
    if (referred_name && !EqualsIgnoreCase(*referred_name, key.referred.name)) continue;
    if (table_name && !EqualsIgnoreCase(*table_name, key.table.name)) continue;
    long ordinal = 0;
    for (const auto& [column, referred_column] : key.columns)
      rows.push_back({null, TextOrNull(key.referred.schema), Variant(key.referred.name),
                      Variant(referred_column), null, TextOrNull(key.table.schema),
                      Variant(key.table.name), Variant(column), Variant(++ordinal),
                      TextOrNull(key.name)});
  }
  return InMemory(Describe({{"PK_TABLE_CATALOG", kVarWChar},
                            {"PK_TABLE_SCHEMA", kVarWChar},
                            {"PK_TABLE_NAME", kVarWChar},
                            {"PK_COLUMN_NAME", kVarWChar},
                            {"FK_TABLE_CATALOG", kVarWChar},
                            {"FK_TABLE_SCHEMA", kVarWChar},
                            {"FK_TABLE_NAME", kVarWChar},
                            {"FK_COLUMN_NAME", kVarWChar},
                            {"ORDINAL", kUnsignedInt},
                            {"FK_NAME", kVarWChar}}),
                  std::move(rows));
}

std::shared_ptr<Recordset> CheckConstraintsRowset(ConnectionBackend& connection,
                                                  const Variant& restrictions) {
  std::optional<std::string> name = Restriction(restrictions, 2);
  std::vector<Row> rows;
  Variant null = Variant::Null();
  for (const CheckConstraint& check : connection.ListCheckConstraints()) {
    if (name && *name != check.name) continue;
    rows.push_back({null, TextOrNull(check.table.schema), TextOrNull(check.name),
                    Variant(check.clause), null, Variant(check.table.name)});
  }
  return InMemory(Describe({{"CONSTRAINT_CATALOG", kVarWChar},
                            {"CONSTRAINT_SCHEMA", kVarWChar},
                            {"CONSTRAINT_NAME", kVarWChar},
                            {"CHECK_CLAUSE", kVarWChar},
                            {"DESCRIPTION", kVarWChar},
                            {"TABLE_NAME", kVarWChar}}),
                  std::move(rows));
}

}  // namespace tabrix::adodb
