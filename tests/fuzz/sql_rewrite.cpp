// The rewrite of the component's legacy SQL, for SQLite and for
// PostgreSQL. Whatever the text, the string literals must reach the engine
// as the component wrote them: each one comes out once, byte for byte, with
// only the component's doubled bar undone. A date-shaped literal may become
// the engine's date where it is compared with a date column; the rewrite
// may add empty ESCAPE literals and quoted numbers, nothing else.
//
// The first byte picks the engine and whether SQLite's rewrite knows the
// names; the rest is the SQL.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "host/sql/date_literal.h"
#include "host/sql/dialect.h"
#include "host/sql/name_catalog.h"
#include "host/sql/postgres_dialect.h"
#include "host/sql/query_shape.h"
#include "host/sql/rewriter.h"
#include "host/sql/tokenizer.h"

namespace sql = tabrix::sql;

namespace {

class FixedNames : public sql::NameSource {
 public:
  FixedNames() {
    using K = sql::ColumnKind;
    const struct {
      const char* table;
      const char* column;
      K kind;
    } columns[] = {
        {"Orders", "Id", K::kNumber},     {"Orders", "Date", K::kDate},
        {"Orders", "Name", K::kText},     {"Orders", "Paid", K::kMoney},
        {"Orders", "Flag", K::kBoolean},  {"Orders", "Uid", K::kOther},
        {"t", "a", K::kText},             {"t", "b", K::kText},
        {"t", "d", K::kDate},             {"t", "n", K::kNumber},
        {"Order Details", "Qty", K::kNumber}, {"Secret", "x", K::kText},
        {"secret", "X", K::kDate},        {"Заказы", "Дата", K::kDate},
    };
    for (const auto& c : columns) {
      catalog_.AddTable(c.table);
      catalog_.AddColumn(c.table, c.column, c.kind);
    }
    catalog_.AddSchema("public");
  }
  const sql::NameCatalog& Names() override { return catalog_; }
  const sql::NameCatalog& Reload() override {
    ++reloads;
    return catalog_;
  }
  int reloads = 0;

 private:
  sql::NameCatalog catalog_;
};

// The text of every string literal, in any order, counted.
std::map<std::string, int> Literals(std::string_view text) {
  std::map<std::string, int> found;
  for (const sql::Token& token : sql::Tokenize(text))
    if (token.kind == sql::TokenKind::kString) ++found[std::string(token.text)];
  return found;
}

bool Take(std::map<std::string, int>& literals, const std::string& text) {
  auto it = literals.find(text);
  if (it == literals.end() || it->second == 0) return false;
  --it->second;
  return true;
}

// What the rewrite may add: ESCAPE '', a number compared as text, a date.
bool IsAddedLiteral(std::string_view literal) {
  if (literal == "''") return true;
  std::string_view inner = literal.substr(1, literal.size() - 2);
  if (!inner.empty() && inner.front() == '-') inner.remove_prefix(1);
  bool number = !inner.empty();
  for (char c : inner)
    number = number && ((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' ||
                        c == '+' || c == '-' || c == 'x' || c == 'X' ||
                        (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
  return number || sql::ParseDateLiteral(inner).has_value();
}

void CheckLiterals(std::string_view in, const std::string& out) {
  std::map<std::string, int> left = Literals(out);
  struct Expected {
    std::string rewritten;  // the doubled bar undone
    std::string raw;        // as written
    bool date;
  };
  static const sql::Dialect kStandard;
  std::vector<Expected> expected;
  for (const sql::Token& token : sql::Tokenize(in)) {
    if (token.kind != sql::TokenKind::kString) continue;
    std::string raw(token.text);
    if (!sql::IsTerminated(token)) {
      expected.push_back({raw, raw, false});
      continue;
    }
    std::string_view inner = sql::InnerText(token);
    expected.push_back({kStandard.StringLiteral(inner), raw,
                        sql::ParseDateLiteral(inner).has_value()});
  }
  for (const Expected& e : expected) {
    if (!e.date && !Take(left, e.rewritten)) {
      std::fprintf(stderr, "literal %s did not come out of:\n%.*s\nas:\n%s\n", e.raw.c_str(),
                   static_cast<int>(in.size()), in.data(), out.c_str());
      FUZZ_CHECK(false);
    }
  }
  // A date compared with a date column may be the engine's date, or gone
  // (PostgreSQL's NULL::timestamp for no real day).
  for (const Expected& e : expected)
    if (e.date) Take(left, e.rewritten);
  for (const auto& [literal, count] : left) {
    if (count > 0 && !IsAddedLiteral(literal)) {
      std::fprintf(stderr, "literal %s came from nowhere:\n%.*s\nas:\n%s\n", literal.c_str(),
                   static_cast<int>(in.size()), in.data(), out.c_str());
      FUZZ_CHECK(false);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::uint8_t mode = data[0];
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  // The tokens join back into the text.
  std::string joined;
  for (const sql::Token& token : sql::Tokenize(text)) {
    FUZZ_CHECK(!token.text.empty());
    joined += token.text;
  }
  FUZZ_CHECK(joined == text);

  FixedNames names;
  std::string out;
  if (mode & 1) {
    out = sql::RewriteForPostgres(text, names);
    FUZZ_CHECK(names.reloads <= 2);
  } else {
    static const sql::SqliteDialect kSqlite;
    out = sql::Rewrite(text, kSqlite, (mode & 2) ? &names : nullptr);
    FUZZ_CHECK(names.reloads <= 1);
  }
  CheckLiterals(text, out);

  for (std::string_view statement : sql::SplitStatements(text))
    FUZZ_CHECK(statement.data() >= text.data() &&
               statement.data() + statement.size() <= text.data() + text.size());
  sql::NumberPlaceholders(text);
  // The cursor's count and window queries read the rewritten text.
  sql::FastCountQuery(out);
  static const sql::SqliteDialect kWindow;
  sql::WindowQuery(out, 20, kWindow);
  sql::LimitedWindow(out, 20, 10);
  // A list page's window moves the query's pieces around: every literal
  // of the query is still there, once.
  if (std::optional<sql::PagedList> list = sql::PagedListOf(out)) {
    std::string window = sql::PagedListWindow(*list, {"t.\"id\""}, 20, 10);
    std::map<std::string, int> before = Literals(out), after = Literals(window);
    for (const auto& [literal, count] : before) FUZZ_CHECK(after[literal] >= count);
  }
  return 0;
}
