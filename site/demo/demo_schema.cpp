#include "site/demo/demo_schema.h"

#include <stdexcept>

namespace tabrix::site::demo {

namespace {

using K = ColumnKind;

// Which references make a row go with the row it refers to (an order's
// lines); every other reference becomes NULL when its row goes.
bool GoesWithParent(std::string_view table, const DemoColumn& column) {
  return table == "order_items" && column.references == "orders";
}

std::string TypeName(const DemoDialect& dialect, ColumnKind kind) {
  return dialect.type_names.at(static_cast<size_t>(kind));
}

}  // namespace

const std::vector<DemoTable>& DemoTables() {
  static const std::vector<DemoTable> tables = {
      {"customers",
       {{"id", K::kKey},
        {"name", K::kText},
        {"email", K::kText},
        {"phone", K::kText},
        {"city", K::kText},
        {"country", K::kText},
        {"segment", K::kText},
        {"joined", K::kDate},
        {"vip", K::kBoolean},
        {"credit_limit", K::kMoney},
        {"notes", K::kMemo}}},
      {"products",
       {{"id", K::kKey},
        {"name", K::kText},
        {"category", K::kText},
        {"unit_price", K::kMoney},
        {"units_in_stock", K::kInteger},
        {"discontinued", K::kBoolean},
        {"picture", K::kPicture},
        {"description", K::kMemo}}},
      {"employees",
       {{"id", K::kKey},
        {"name", K::kText},
        {"title", K::kText},
        {"email", K::kText},
        {"hired", K::kDate},
        {"last_login", K::kDateTime},
        {"active", K::kBoolean}}},
      {"orders",
       {{"id", K::kKey},
        {"customer_id", K::kInteger, "customers"},
        {"employee_id", K::kInteger, "employees"},
        {"order_date", K::kDate},
        {"status", K::kInteger},
        {"shipped_at", K::kDateTime},
        {"ship_city", K::kText},
        {"freight", K::kMoney},
        {"paid", K::kBoolean},
        {"notes", K::kMemo}}},
      {"order_items",
       {{"id", K::kKey},
        {"order_id", K::kInteger, "orders"},
        {"product_id", K::kInteger, "products"},
        {"quantity", K::kInteger},
        {"unit_price", K::kMoney},
        {"discount", K::kReal}}},
  };
  return tables;
}

const DemoTable& DemoTableNamed(std::string_view name) {
  for (const DemoTable& table : DemoTables())
    if (table.name == name) return table;
  throw std::logic_error("the demo has no table " + std::string(name));
}

DemoDialect SqliteDialect() {
  DemoDialect dialect;
  dialect.type_names = {"INTEGER PRIMARY KEY", "INTEGER", "REAL", "MONEY", "BOOLEAN",
                        "DATE",                "DATETIME", "TEXT", "MEMO", "BLOB"};
  dialect.delete_triggers = true;
  return dialect;
}

std::vector<std::string> DemoTableSql(const DemoDialect& dialect) {
  std::vector<std::string> statements;
  for (const DemoTable& table : DemoTables()) {
    std::string sql = "CREATE TABLE " + std::string(table.name) + " (";
    for (size_t i = 0; i < table.columns.size(); ++i) {
      const DemoColumn& column = table.columns[i];
      if (i > 0) sql += ", ";
      sql += std::string(column.name) + " " + TypeName(dialect, column.kind);
      if (!column.references.empty()) {
        sql += " REFERENCES " + std::string(column.references) + "(id) ON DELETE ";
        sql += GoesWithParent(table.name, column) ? "CASCADE" : "SET NULL";
      }
    }
    statements.push_back(sql + ")");
  }
  return statements;
}

std::vector<std::string> DemoFinishSql(const DemoDialect& dialect) {
  std::vector<std::string> statements;
  for (const DemoTable& table : DemoTables())
    for (const DemoColumn& column : table.columns)
      if (!column.references.empty())
        statements.push_back("CREATE INDEX " + std::string(table.name) + "_" +
                             std::string(column.name) + " ON " + std::string(table.name) + " (" +
                             std::string(column.name) + ")");
  statements.push_back("CREATE INDEX orders_order_date ON orders (order_date)");
  // Sub-queries per order rather than a grouped join: a page of the view
  // then reads only its own orders' lines.
  statements.push_back(
      "CREATE VIEW order_totals AS SELECT o.id AS order_id, o.order_date AS order_date, "
      "(SELECT c.name FROM customers c WHERE c.id = o.customer_id) AS customer, "
      "(SELECT COUNT(*) FROM order_items i WHERE i.order_id = o.id) AS line_count, "
      "(SELECT ROUND(SUM(i.quantity * i.unit_price * (1 - i.discount)), 2) "
      "FROM order_items i WHERE i.order_id = o.id) AS total "
      "FROM orders o");
  if (dialect.delete_triggers) {
    for (const DemoTable& table : DemoTables()) {
      for (const DemoColumn& column : table.columns) {
        if (column.references.empty()) continue;
        std::string child(table.name), field(column.name), parent(column.references);
        std::string action = GoesWithParent(table.name, column)
                                 ? "DELETE FROM " + child
                                 : "UPDATE " + child + " SET " + field + " = NULL";
        statements.push_back("CREATE TRIGGER " + child + "_" + field + "_on_delete AFTER DELETE ON " +
                             parent + " BEGIN " + action + " WHERE " + field +
                             " = old.id; END");
      }
    }
  }
  return statements;
}

std::string InsertSql(const DemoTable& table) {
  std::string names, marks;
  for (const DemoColumn& column : table.columns) {
    if (!names.empty()) {
      names += ", ";
      marks += ", ";
    }
    names += column.name;
    marks += "?";
  }
  return "INSERT INTO " + std::string(table.name) + " (" + names + ") VALUES (" + marks + ")";
}

}  // namespace tabrix::site::demo
