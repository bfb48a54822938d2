// Shared by the add and update page tests: the pages over a database of the
// engine under test, a logged-in user, one request per call, and a plain
// view of a table's rows to compare before and after a post.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/adodb/recordset.h"
#include "host/variant_ops.h"
#include "support/component_harness.h"
#include "support/error_number.h"
#include "support/fault_seam.h"
#include "support/test_database.h"

namespace tabrix::testing {

// A request: its query string and its posted form items.
struct PageRequest {
  std::string query;
  std::vector<std::pair<std::string, std::string>> form;
};

class RecordPages {
 public:
  // `schema` builds the database; user 1 holds `table_permissions` (for
  // example "Orders[VAU]") and loses the field letters of `cant_field`.
  RecordPages(const std::string& schema, const char* table_permissions,
              const char* cant_field = "")
      : db_(schema), table_permissions_(table_permissions), cant_field_(cant_field) {}

  const TestDatabase& db() const { return db_; }
  // The last request's harness: its session, SQL and response.
  ComponentHarness& h() { return *harness_; }
  // Session values every following request starts with, besides the
  // settings the constructor gives.
  void Set(const std::string& key, Variant value) { extra_.emplace_back(key, std::move(value)); }

  // Runs Add(table) / Update(table, record_id) on a new request; returns
  // what the page wrote. A raised error passes on, the output so far kept
  // in h().
  std::string Add(const PageRequest& request, const char* table = "Orders") {
    Begin(request).Add(Variant(table));
    return h().TakeOutput();
  }
  std::string Update(const PageRequest& request, const Variant& record_id,
                     const char* table = "Orders") {
    Begin(request).Update(Variant(table), record_id);
    return h().TakeOutput();
  }

  // The session's "msg" after the last request ("<none>" when not stored).
  std::string Message() {
    if (!h().session().Contains("msg")) return "<none>";
    return ConcatText(h().session().Value("msg"));
  }

  // The rows of `table` ordered by `order_by`, one line each, values
  // separated by "|": Null as "NULL", dates in ISO form, the rest as text.
  std::string Rows(const std::string& table, const std::string& order_by = "1") const {
    auto rs = adodb::NewRecordset();
    rs->Open(Variant("select * from [" + table + "] order by " + order_by),
             Variant(db_.connection_string()), Variant(adodb::kStatic),
             Variant(adodb::kReadOnly));
    std::string rows;
    for (; !rs->Eof(); rs->MoveNext()) {
      for (long i = 0; i < rs->fields().Count(); ++i) {
        Variant v = rs->Value(Variant(i));
        rows += i == 0 ? "" : "|";
        rows += v.IsNull()                  ? "NULL"
                : v.type() == VarType::Date ? IsoDateText(v.date())
                                            : ConcatText(v);
      }
      rows += "\n";
    }
    rs->Close();
    return rows;
  }

 private:
  Tabrix1& Begin(const PageRequest& request) {
    harness_ = std::make_unique<ComponentHarness>();
    ComponentHarness& h = *harness_;
    h.Set("set_dns", Variant(db_.connection_string()));
    h.Set("UserId", Variant(1));
    h.Set("set_user1_CanTable", Variant(table_permissions_));
    h.Set("set_user1_CantField", Variant(cant_field_));
    h.Set("code_Orders", Variant("ORD"));
    for (const auto& [key, value] : extra_) h.Set(key, value);
    h.request().SetQueryString(request.query);
    for (const auto& [name, value] : request.form) h.request().AddFormItem(name, value);
    return h.object();
  }

  TestDatabase db_;
  std::string table_permissions_;
  std::string cant_field_;
  std::vector<std::pair<std::string, Variant>> extra_;
  std::unique_ptr<ComponentHarness> harness_;
};

// The six line breaks every completed table page ends with.
inline constexpr const char* kEnd = "\r\n\r\n\r\n\r\n\r\n\r\n";

// The script that moves the browser to record `id` of the table coded ORD.
inline std::string RedirectTo(const std::string& encoded_id) {
  return "<script language=\"javascript\">window.location.href='Info.asp?t=ORD&id=" +
         encoded_id + "';</script>";
}

// Fails each database call of a post in turn, through the fault seam.
// `post` runs the post and returns what the page wrote; a clean run writes
// `output` and leaves the table reading `after`, and `restore` puts it back
// to `before`. The calls are counted on a second clean run, on pooled
// connections, as every later run makes them. After each failed run the
// table reads `before` and no message is stored; a run that completes
// anyway made fewer calls than N, or failed one the facade passes over
// (ending a read snapshot), which may happen once.
inline void ExpectEveryFailedCallLeavesTheTable(RecordPages& pages,
                                                const std::function<std::string()>& post,
                                                const std::string& output,
                                                const std::string& before,
                                                const std::string& after,
                                                const std::function<void()>& restore) {
  FaultSeam seam;
  std::int64_t calls = 0;
  for (int run = 0; run < 2; ++run) {
    seam.plan().FailAt(0);
    ASSERT_EQ(post(), output);
    calls = seam.plan().calls();
    ASSERT_EQ(pages.Rows("Orders"), after);
    restore();
  }
  ASSERT_GT(calls, 5);

  std::int64_t failed_runs = 0, passed_over = 0;
  for (std::int64_t n = 1; n <= calls; ++n) {
    seam.plan().FailAt(n);
    long number = ErrorNumberOf([&] { post(); });
    bool failed = seam.plan().failed();
    seam.plan().FailAt(0);
    if (number == 0) {
      EXPECT_EQ(pages.Rows("Orders"), after) << "call " << n;
      restore();
      if (!failed) break;
      ++passed_over;
      continue;
    }
    ++failed_runs;
    EXPECT_EQ(number, kErrProvider) << "call " << n;
    EXPECT_EQ(pages.Rows("Orders"), before) << "call " << n;
    EXPECT_EQ(pages.Message(), "<none>") << "call " << n;
  }
  EXPECT_EQ(failed_runs + passed_over, calls);
  EXPECT_LE(passed_over, 1);
}

}  // namespace tabrix::testing
