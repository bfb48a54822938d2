// Rows held in memory: the schema rowsets, and the base of keyset rows.
#pragma once

#include "host/adodb/row_source.h"

namespace tabrix::adodb {

using Row = std::vector<Variant>;

class MemoryRows : public RowSource {
 public:
  // Each row holds one value per column.
  MemoryRows(std::vector<ColumnInfo> columns, std::vector<Row> rows)
      : columns_(std::move(columns)), rows_(std::move(rows)) {}

  const std::vector<ColumnInfo>& columns() const override { return columns_; }
  std::int64_t Count() override { return static_cast<std::int64_t>(rows_.size()); }
  bool Seek(std::int64_t index) override;
  Variant Value(int column) const override;

 protected:
  MemoryRows() = default;
  std::vector<ColumnInfo> columns_;
  std::vector<Row> rows_;
  std::int64_t current_ = -1;
};

}  // namespace tabrix::adodb
