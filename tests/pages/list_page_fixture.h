// Shared by the list page tests: a list page over a real SQLite file, with
// a logged-in user, the table code of Orders, and helpers that cut the
// pieces of the page out of its output.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/component_harness.h"
#include "support/test_database.h"

namespace tabrix::testing {

class ListPage {
 public:
  // `schema` builds the database; the user (number 1) holds
  // `table_permissions` ("Orders[V]") and no field is withheld.
  explicit ListPage(const std::string& schema, const char* table_permissions = "Orders[V]")
      : db_(schema) {
    h_.Set("set_dns", Variant(db_.connection_string()));
    h_.Set("UserId", Variant(1));
    h_.Set("set_user1_CanTable", Variant(table_permissions));
    h_.Set("code_Orders", Variant("ORD"));
    h_.request().SetServerVariable("SCRIPT_NAME", "/Search.asp");
  }

  ComponentHarness& h() { return h_; }
  void Set(const std::string& key, Variant value) { h_.Set(key, std::move(value)); }

  // Calls Search(table) with the request's query string `query`; returns
  // what the page wrote.
  std::string Run(const std::string& query, const char* table = "Orders") {
    h_.request().SetQueryString(query);
    h_.object().Search(Variant(table));
    return h_.TakeOutput();
  }

  // The error number Search raises for `query` (0 when none); the output so
  // far stays readable through output().
  long ErrorOf(const std::string& query, const char* table = "Orders") {
    h_.request().SetQueryString(query);
    try {
      h_.object().Search(Variant(table));
    } catch (const ScriptError& e) {
      output_ = h_.TakeOutput();
      return e.number();
    }
    output_ = h_.TakeOutput();
    return 0;
  }
  const std::string& output() const { return output_; }

  // The SQL texts the page opened that select from the table with criteria
  // (the list query), in order.
  std::vector<std::string> ListQueries() const {
    std::vector<std::string> out;
    for (const std::string& sql : h_.sql())
      if (sql.find("] WHERE ") != std::string::npos) out.push_back(sql);
    return out;
  }

 private:
  TestDatabase db_;
  ComponentHarness h_;
  std::string output_;
};

// The piece of `text` from the first `start` through the next `end` after
// it, both included; "" when either is missing.
inline std::string Cut(const std::string& text, const std::string& start,
                       const std::string& end) {
  size_t from = text.find(start);
  if (from == std::string::npos) return "";
  size_t to = text.find(end, from + start.size());
  if (to == std::string::npos) return "";
  return text.substr(from, to + end.size() - from);
}

inline size_t Occurrences(const std::string& text, const std::string& piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    ++count;
  return count;
}

// The six line breaks every completed table page ends with.
inline constexpr const char* kPageEnd = "\r\n\r\n\r\n\r\n\r\n\r\n";

// A table Orders of `rows` records with ids 1..rows and a text column.
inline std::string NumberedOrders(int rows) {
  return "create table Orders (Id integer primary key, Name text);"
         "insert into Orders (Id, Name) with recursive n(i) as (select 1 union all select i + 1 "
         "from n where i < " +
         std::to_string(rows) + ") select i, 'name ' || i from n where " +
         std::to_string(rows) + " > 0;";
}

}  // namespace tabrix::testing
