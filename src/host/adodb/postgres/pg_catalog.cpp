#include "host/adodb/postgres/pg_catalog.h"

#include <cstdlib>
#include <string>

#include "host/adodb/postgres/pg_connection.h"
#include "host/adodb/postgres/pg_types.h"
#include "host/sql/check_clauses.h"

namespace tabrix::adodb::postgres {

namespace {

constexpr const char* kRelationKinds = "('r', 'p', 'v', 'm', 'f')";

std::string Text(const PGresult* result, int row, int column) {
  return std::string(PQgetvalue(result, row, column),
                     static_cast<size_t>(PQgetlength(result, row, column)));
}

bool Flag(const PGresult* result, int row, int column) {
  return !PQgetisnull(result, row, column) && PQgetvalue(result, row, column)[0] == 't';
}

long Number(const PGresult* result, int row, int column) {
  return std::strtol(PQgetvalue(result, row, column), nullptr, 10);
}

}  // namespace

std::vector<ListedTable> ListTables(PostgresConnection& db) {
  PgResult result = db.Run(std::string(
      "SELECT c.oid, c.relname, CASE WHEN n.nspname IN ('pg_catalog', 'information_schema') "
      "THEN 'SYSTEM TABLE' WHEN c.relkind IN ('v', 'm') THEN 'VIEW' ELSE 'TABLE' END "
      "FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
      "WHERE c.relkind IN ") + kRelationKinds +
      " AND n.nspname = ANY (pg_catalog.current_schemas(false))");
  const PGresult* r = result.get();
  std::vector<ListedTable> tables;
  for (int row = 0; row < PQntuples(r); ++row)
    tables.push_back({static_cast<Oid>(std::strtoul(PQgetvalue(r, row, 0), nullptr, 10)),
                      {Text(r, row, 1), Text(r, row, 2)}});
  return tables;
}

Oid FindRelation(PostgresConnection& db, const TableRef& table) {
  // An exact spelling before one that differs in case; then the search
  // path's order.
  PgResult result = db.Run(
      std::string("SELECT c.oid, c.relname, n.nspname FROM pg_catalog.pg_class c "
                  "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                  "WHERE c.relkind IN ") + kRelationKinds +
          // Both sides lowered under one collation: a name's own ("C") lowers
          // only ASCII letters, a parameter's would lower "К" too.
          " AND lower(c.relname::text COLLATE \"default\") = lower($1::text COLLATE \"default\")"
          " AND CASE WHEN $2 = '' "
          "THEN n.nspname = ANY (pg_catalog.current_schemas(false)) "
          "ELSE lower(n.nspname::text COLLATE \"default\") = lower($2::text COLLATE \"default\") "
          "END "
          "ORDER BY c.relname = $1 DESC, n.nspname = $2 DESC, "
          "array_position(pg_catalog.current_schemas(false), n.nspname::text)",
      {table.name, table.schema});
  const PGresult* r = result.get();
  if (PQntuples(r) == 0) return 0;
  if (Text(r, 0, 1) != table.name) {
    // No exact spelling: letter case is ignored only where one name is left.
    for (int row = 1; row < PQntuples(r); ++row)
      if (Text(r, row, 2) == Text(r, 0, 2) && Text(r, row, 1) != Text(r, 0, 1)) return 0;
  }
  return static_cast<Oid>(std::strtoul(PQgetvalue(r, 0, 0), nullptr, 10));
}

Relation ReadRelation(PostgresConnection& db, Oid oid) {
  PgResult result = db.Run(
      "SELECT n.nspname, c.relname, c.relkind, a.attnum, a.attname, "
      "pg_catalog.format_type(a.atttypid, a.atttypmod), a.atttypid, a.atttypmod, a.attnotnull, "
      "a.attgenerated <> '', a.attidentity <> '', d.adbin IS NOT NULL, "
      "pg_catalog.pg_get_expr(d.adbin, d.adrelid), "
      "COALESCE((SELECT array_position(i.indkey::int2[], a.attnum) + 1 - "
      "array_lower(i.indkey::int2[], 1) FROM pg_catalog.pg_index i "
      "WHERE i.indrelid = c.oid AND i.indisprimary), 0) "
      "FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
      "LEFT JOIN pg_catalog.pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 "
      "AND NOT a.attisdropped "
      "LEFT JOIN pg_catalog.pg_attrdef d ON d.adrelid = c.oid AND d.adnum = a.attnum "
      "WHERE c.oid = $1 ORDER BY a.attnum",
      {std::to_string(oid)});
  Relation relation;
  const PGresult* r = result.get();
  if (PQntuples(r) == 0) return relation;
  relation.info.exists = true;
  relation.info.ref = {Text(r, 0, 0), Text(r, 0, 1)};
  relation.kind = PQgetvalue(r, 0, 2)[0];
  relation.info.is_view = relation.kind == 'v' || relation.kind == 'm';
  relation.info.has_row_id = false;
  for (int row = 0; row < PQntuples(r); ++row) {
    if (PQgetisnull(r, row, 3)) continue;  // a relation without columns
    TableColumn column;
    column.name = Text(r, row, 4);
    column.declared_type = Text(r, row, 5);
    Oid type = static_cast<Oid>(std::strtoul(PQgetvalue(r, row, 6), nullptr, 10));
    column.type = TypeFromOid(type);
    column.defined_size = DefinedSizeFromOid(type, static_cast<int>(Number(r, row, 7)));
    column.key_position = static_cast<int>(Number(r, row, 13));
    column.not_null = Flag(r, row, 8) || column.key_position > 0;
    column.generated = Flag(r, row, 9);
    column.has_default = Flag(r, row, 11) && !column.generated;
    if (column.has_default) column.default_text = Text(r, row, 12);
    bool from_sequence = column.default_text.rfind("nextval(", 0) == 0;
    column.auto_key = Flag(r, row, 10) || from_sequence;
    relation.by_attnum[static_cast<int>(Number(r, row, 3))] = relation.info.columns.size();
    relation.info.columns.push_back(std::move(column));
  }
  return relation;
}

std::vector<ForeignKey> ListForeignKeys(PostgresConnection& db) {
  PgResult result = db.Run(
      "SELECT c.conname, n.nspname, t.relname, rn.nspname, r.relname, a.attname, ra.attname, "
      "k.ord FROM pg_catalog.pg_constraint c "
      "JOIN pg_catalog.pg_class t ON t.oid = c.conrelid "
      "JOIN pg_catalog.pg_namespace n ON n.oid = t.relnamespace "
      "JOIN pg_catalog.pg_class r ON r.oid = c.confrelid "
      "JOIN pg_catalog.pg_namespace rn ON rn.oid = r.relnamespace "
      "CROSS JOIN LATERAL unnest(c.conkey, c.confkey) WITH ORDINALITY AS k(attnum, refnum, ord) "
      "JOIN pg_catalog.pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = k.attnum "
      "JOIN pg_catalog.pg_attribute ra ON ra.attrelid = c.confrelid AND ra.attnum = k.refnum "
      "WHERE c.contype = 'f' AND c.conparentid = 0 "
      "AND n.nspname = ANY (pg_catalog.current_schemas(false)) "
      "ORDER BY n.nspname, t.relname, c.conname, c.oid, k.ord");
  const PGresult* r = result.get();
  std::vector<ForeignKey> keys;
  for (int row = 0; row < PQntuples(r); ++row) {
    if (Number(r, row, 7) == 1) {
      ForeignKey key;
      key.name = Text(r, row, 0);
      key.table = {Text(r, row, 1), Text(r, row, 2)};
      key.referred = {Text(r, row, 3), Text(r, row, 4)};
      keys.push_back(std::move(key));
    }
    keys.back().columns.emplace_back(Text(r, row, 5), Text(r, row, 6));
  }
  return keys;
}

std::vector<CheckConstraint> ListCheckConstraints(PostgresConnection& db) {
  PgResult result = db.Run(
      "SELECT n.nspname, t.relname, c.conname, pg_catalog.pg_get_constraintdef(c.oid) "
      "FROM pg_catalog.pg_constraint c JOIN pg_catalog.pg_class t ON t.oid = c.conrelid "
      "JOIN pg_catalog.pg_namespace n ON n.oid = t.relnamespace "
      "WHERE c.contype = 'c' AND n.nspname = ANY (pg_catalog.current_schemas(false)) "
      "ORDER BY n.nspname, t.relname, c.conname");
  const PGresult* r = result.get();
  std::vector<CheckConstraint> checks;
  for (int row = 0; row < PQntuples(r); ++row)
    checks.push_back({{Text(r, row, 0), Text(r, row, 1)},
                      Text(r, row, 2),
                      sql::CheckCondition(Text(r, row, 3))});
  return checks;
}

sql::NameCatalog ReadNames(PostgresConnection& db) {
  sql::NameCatalog names;
  PgResult schemas = db.Run("SELECT unnest(pg_catalog.current_schemas(false))");
  for (int row = 0; row < PQntuples(schemas.get()); ++row)
    names.AddSchema(Text(schemas.get(), row, 0));
  PgResult columns = db.Run(
      std::string("SELECT c.relname, a.attname, "
                  "CASE WHEN t.typtype = 'd' THEN t.typbasetype ELSE a.atttypid END "
                  "FROM pg_catalog.pg_class c "
                  "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                  "LEFT JOIN pg_catalog.pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 "
                  "AND NOT a.attisdropped "
                  "LEFT JOIN pg_catalog.pg_type t ON t.oid = a.atttypid "
                  "WHERE c.relkind IN ") + kRelationKinds +
      " AND n.nspname = ANY (pg_catalog.current_schemas(false))");
  const PGresult* r = columns.get();
  for (int row = 0; row < PQntuples(r); ++row) {
    std::string table = Text(r, row, 0);
    names.AddTable(table);
    if (PQgetisnull(r, row, 1)) continue;
    Oid type = static_cast<Oid>(std::strtoul(PQgetvalue(r, row, 2), nullptr, 10));
    names.AddColumn(table, Text(r, row, 1), KindFromOid(type));
  }
  return names;
}

}  // namespace tabrix::adodb::postgres
