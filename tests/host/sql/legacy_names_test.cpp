// Names in the legacy SQL: which stand bare and how the others are
// bracketed so that the rewrite reads back the one name.
#include "host/sql/legacy_names.h"

#include <gtest/gtest.h>

#include "host/sql/rewriter.h"
#include "host/sql/dialect.h"

namespace tabrix::sql {
namespace {

TEST(LegacyNames, OnlyPlainIdentifiersStandBare) {
  struct Case {
    const char* name;
    const char* written;
  };
  const Case cases[] = {
      {"CustomerID", "CustomerID"},
      {"order_date2", "order_date2"},
      {"_x", "_x"},
      {"Заказы", "Заказы"},  // letters of any script
      {"顧客", "顧客"},
      {"Unit Price", "[Unit Price]"},
      {"Select", "[Select]"},  // keywords in any case
      {"order", "[order]"},
      {"top", "[top]"},  // the legacy "select top N"
      {"user", "[user]"},
      {"dash--x", "[dash--x]"},
      {"2nd", "[2nd]"},
      {"a]b", "[a]]b]"},
      {"a[b", "[a[b]"},
      {"x'y", "[x'y]"},
      {"", "[]"},
  };
  for (const Case& c : cases) EXPECT_EQ(LegacyName(c.name), c.written) << c.name;
}

TEST(LegacyNames, TheRewriteReadsABracketedNameBackWhole) {
  SqliteDialect dialect;
  EXPECT_EQ(Rewrite("select " + LegacyName("a]]b") + " from " + BracketedName("x]y"), dialect),
            "select \"a]]b\" from \"x]y\"");
}

}  // namespace
}  // namespace tabrix::sql
