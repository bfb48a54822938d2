#include "host/adodb/sqlite/sqlite_constraints.h"

#include <map>
#include <string>

#include "host/adodb/sqlite/sqlite_handle.h"
#include "host/sql/check_clauses.h"

namespace tabrix::adodb::sqlite {

namespace {

// The user tables of main with their CREATE TABLE text, by name.
std::vector<std::pair<std::string, std::string>> Tables(sqlite3* db) {
  StatementHandle statement = PrepareOrRaise(
      db, "SELECT name, sql FROM main.sqlite_schema WHERE type = 'table' "
          "AND substr(name, 1, 7) <> 'sqlite_' ORDER BY name");
  std::vector<std::pair<std::string, std::string>> tables;
  while (StepOrRaise(db, statement.get()))
    tables.emplace_back(ColumnText(statement.get(), 0), ColumnText(statement.get(), 1));
  return tables;
}

struct Referred {
  bool exists = false;
  std::string name;              // as the catalog spells it
  std::vector<std::string> key;  // the primary key's columns in key order
};

// The table a REFERENCES clause names (SQLite matches it ignoring case).
Referred FindReferred(sqlite3* db, const std::string& written) {
  Referred referred;
  referred.name = written;
  StatementHandle table = PrepareOrRaise(
      db, "SELECT name FROM main.sqlite_schema WHERE type = 'table' AND name = ?1 "
          "COLLATE NOCASE");
  BindText(table.get(), 1, written);
  if (!StepOrRaise(db, table.get())) return referred;
  referred.exists = true;
  referred.name = ColumnText(table.get(), 0);
  StatementHandle key = PrepareOrRaise(
      db, "SELECT name FROM pragma_table_info(?1, 'main') WHERE pk > 0 ORDER BY pk");
  BindText(key.get(), 1, referred.name);
  while (StepOrRaise(db, key.get())) referred.key.push_back(ColumnText(key.get(), 0));
  return referred;
}

}  // namespace

std::vector<ForeignKey> ListForeignKeys(sqlite3* db) {
  std::vector<ForeignKey> keys;
  std::map<std::string, Referred> referred_by_written;
  for (const auto& [table, create_sql] : Tables(db)) {
    // SQLite numbers a table's keys from its last declared one.
    StatementHandle statement = PrepareOrRaise(
        db, "SELECT id, \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?1, 'main') "
            "ORDER BY id DESC, seq");
    BindText(statement.get(), 1, table);
    std::vector<std::pair<int, ForeignKey>> found;
    std::vector<std::vector<bool>> named_columns;
    while (StepOrRaise(db, statement.get())) {
      int id = sqlite3_column_int(statement.get(), 0);
      if (found.empty() || found.back().first != id) {
        ForeignKey key;
        key.table = {"", table};
        key.referred = {"", ColumnText(statement.get(), 1)};
        found.emplace_back(id, std::move(key));
        named_columns.emplace_back();
      }
      bool named = sqlite3_column_type(statement.get(), 3) != SQLITE_NULL;
      found.back().second.columns.emplace_back(ColumnText(statement.get(), 2),
                                               ColumnText(statement.get(), 3));
      named_columns.back().push_back(named);
    }
    for (size_t k = 0; k < found.size(); ++k) {
      ForeignKey& key = found[k].second;
      auto [at, fresh] = referred_by_written.try_emplace(key.referred.name);
      if (fresh) at->second = FindReferred(db, key.referred.name);
      const Referred& referred = at->second;
      if (referred.exists) key.referred.name = referred.name;
      bool complete = true;
      for (size_t c = 0; c < key.columns.size(); ++c) {
        if (named_columns[k][c]) continue;
        // No referred columns named: the referred table's primary key.
        if (!referred.exists || referred.key.size() != key.columns.size()) {
          complete = false;
          break;
        }
        key.columns[c].second = referred.key[c];
      }
      if (complete) keys.push_back(std::move(key));
    }
  }
  return keys;
}

std::vector<CheckConstraint> ListCheckConstraints(sqlite3* db) {
  std::vector<CheckConstraint> checks;
  for (const auto& [table, create_sql] : Tables(db))
    for (sql::CheckClause& check : sql::CheckClauses(create_sql))
      checks.push_back({{"", table}, std::move(check.name), std::move(check.clause)});
  return checks;
}

}  // namespace tabrix::adodb::sqlite
