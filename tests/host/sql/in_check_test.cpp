// Reading a value list out of a CHECK condition, in the forms SQLite keeps
// as written and PostgreSQL gives back, and finding the CHECK constraints
// of a CREATE TABLE text.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/sql/check_clauses.h"
#include "host/sql/in_check.h"

namespace tabrix::sql {
namespace {

// "column: v1 | v2" of a list read, "none" when there is none.
std::string Shown(const std::optional<InCheck>& check) {
  if (!check) return "none";
  std::string text = check->column + ":";
  for (size_t i = 0; i < check->values.size(); ++i)
    text += (i == 0 ? " " : " | ") + check->values[i];
  return text;
}

TEST(ParseInCheck, ReadsSimpleListsOnlyInEachEnginesForm) {
  struct {
    const char* clause;
    const char* read;
  } cases[] = {
      // As written (SQLite keeps the text).
      {"status IN ('new','shipped')", "status: new | shipped"},
      {"\"Order status\" in (1, 2, 3)", "Order status: 1 | 2 | 3"},
      {"  [kind]  IN ( 'a' ) ", "kind: a"},
      {"`kind` IN ('a', 'b')", "kind: a | b"},
      {"(grade IN (-1, +2, 3.5))", "grade: -1 | 2 | 3.5"},
      {"note IN ('it''s', '', 'a,b', 'x)y')", "note: it's |  | a,b | x)y"},
      {"\"Stra\"\"ße\" IN ('Ö', 'ä')", "Stra\"ße: Ö | ä"},
      {"status /* the states */ IN ('a', -- first\n 'b')", "status: a | b"},
      // As PostgreSQL gives them back.
      {"((status = ANY (ARRAY['new'::text, 'shipped'::text])))", "status: new | shipped"},
      {"(status = ANY (ARRAY[1, 2]))", "status: 1 | 2"},
      {"(n = ANY (ARRAY['-1'::integer, 2]))", "n: -1 | 2"},
      {"((kind)::text = ANY ((ARRAY['a'::character varying, 'b'::character varying])::text[]))",
       "kind: a | b"},
      {"(\"Kind\" = ANY (ARRAY['it''s'::text, 'x]y'::text]))", "Kind: it's | x]y"},
      {"((code)::bpchar = ANY (ARRAY['A'::bpchar, 'B'::character(1)]))", "code: A | B"},
      {"(price = ANY (ARRAY[1.5, 2.25]::numeric(5,2)[]))", "price: 1.5 | 2.25"},
      // Anything more than one plain list.
      {"status NOT IN ('a', 'b')", "none"},
      {"status IN ('a') OR status IS NULL", "none"},
      {"status IN ('a') AND qty > 0", "none"},
      {"(status IN ('a')) OR (status IN ('b'))", "none"},
      {"lower(status) IN ('a', 'b')", "none"},
      {"status IN ('a', NULL)", "none"},
      {"status IN ('a', 1 + 1)", "none"},
      {"status IN ()", "none"},
      {"status IN (SELECT code FROM states)", "none"},
      {"t.status IN ('a')", "none"},
      {"status = 'a'", "none"},
      {"qty > 0", "none"},
      {"status IN ('a', 'b'", "none"},
      {"status IN ('a)", "none"},
      {"(status = ANY (ARRAY['2020-01-01'::date]))", "none"},
      {"((day)::date = ANY (ARRAY['2020-01-01'::text]))", "none"},
      {"(status <> ALL (ARRAY['a'::text]))", "none"},
      {"(status = ANY (ARRAY['a'::text])) OR (x = 1)", "none"},
      {"", "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(Shown(ParseInCheck(c.clause)), c.read) << c.clause;
}

// "name=clause" of each constraint, joined by " ; ".
std::string Checks(std::string_view create_sql) {
  std::string text;
  for (const CheckClause& check : CheckClauses(create_sql))
    text += (text.empty() ? "" : " ; ") + check.name + "=" + check.clause;
  return text;
}

TEST(CheckClauses, FindsTableAndColumnChecksAsWritten) {
  struct {
    const char* create_sql;
    const char* checks;
  } cases[] = {
      {"CREATE TABLE t (a TEXT CHECK (a IN ('x', 'y')), b INT)", "=a IN ('x', 'y')"},
      {"CREATE TABLE t (a INT, CONSTRAINT \"a pos\" CHECK(a > 0), CHECK ((a) < 9))",
       "a pos=a > 0 ; =(a) < 9"},
      {"create table t (a int constraint [lim] check (a between 1 and (2 + 3)) not null)",
       "lim=a between 1 and (2 + 3)"},
      // Parentheses and the word CHECK inside literals, names and comments
      // are text, not structure.
      {"CREATE TABLE t (a TEXT CHECK (a <> ')' AND a <> 'check ('), "
       "\"check (x)\" INT /* CHECK (b) ) */, -- CHECK (c)\n b INT CHECK (b <> 0))",
       "=a <> ')' AND a <> 'check (' ; =b <> 0"},
      // A CHECK deeper than the column list is not a constraint of the table.
      {"CREATE TABLE t (a INT DEFAULT (check_value(1)), b AS (a * 2))", ""},
      {"CREATE TABLE t (a INT CHECK (a > 0)) WITHOUT ROWID", "=a > 0"},
      {"CREATE TABLE t (a INT CHECK (a > (0)", "=a > (0)"},
      {"CREATE VIEW v AS SELECT 1", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Checks(c.create_sql), c.checks) << c.create_sql;
}

TEST(CheckClauses, TakesTheConditionOutOfAConstraintDefinition) {
  EXPECT_EQ(CheckCondition("CHECK ((status = ANY (ARRAY['a'::text])))"),
            "(status = ANY (ARRAY['a'::text]))");
  EXPECT_EQ(CheckCondition("CHECK ((qty > 0)) NOT VALID"), "(qty > 0)");
  EXPECT_EQ(CheckCondition("CHECK ((note <> ')'::text)) NO INHERIT"), "(note <> ')'::text)");
  EXPECT_EQ(CheckCondition("UNIQUE (a)"), "");
}

}  // namespace
}  // namespace tabrix::sql
