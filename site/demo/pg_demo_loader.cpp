#include "site/demo/pg_demo_loader.h"

#include <libpq-fe.h>

#include <charconv>
#include <chrono>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "host/adodb/postgres/pg_session.h"
#include "host/error.h"
#include "site/demo/demo_data.h"

namespace tabrix::site::demo {

namespace {

// What the orders table's comment says, before the number of orders.
constexpr std::string_view kDemoComment = "tabrix demo of ";
// The rows gathered before they are sent.
constexpr size_t kBatchBytes = 8 << 20;

std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  for (char& c : text)
    if (c == '\n') c = ' ';
  return text;
}

using Connection = adodb::postgres::PgConn;
using Result = std::unique_ptr<PGresult, void (*)(PGresult*)>;

// A load runs as long as it takes: no statement timeout.
Connection Connect(const PgParams& params) {
  adodb::postgres::PgSessionOptions session;
  session.connect_timeout = std::chrono::seconds(10);
  session.application_name = "tabrix demo";
  try {
    return adodb::postgres::OpenPgSession(params, session);
  } catch (const ScriptError& e) {
    throw std::runtime_error(e.description());
  }
}

Result Check(PGconn* conn, PGresult* raw, const std::string& doing) {
  Result result(raw, &PQclear);
  ExecStatusType status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
    throw std::runtime_error(doing + ": " + OneLine(PQerrorMessage(conn)));
  return result;
}

Result Execute(PGconn* conn, const std::string& sql) {
  return Check(conn, PQexec(conn, sql.c_str()), sql);
}

// `sql` with each "?" outside quotes as $1, $2, ...
std::string Numbered(const std::string& sql) {
  std::string out;
  int next = 0;
  char quote = 0;
  for (char c : sql) {
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '?') {
      out += "$" + std::to_string(++next);
      continue;
    }
    out += c;
  }
  return out;
}

std::string NumberText(double value) {
  char text[64];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end);
}

std::string HexBytes(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex = "\\x";
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

// Appends `value` as one field of COPY's text format.
void AppendCopyField(std::string& line, const DemoValue& value) {
  auto text = [&](std::string_view raw) {
    for (char c : raw) {
      switch (c) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        default: line += c;
      }
    }
  };
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) line += "\\N";
        else if constexpr (std::is_same_v<T, std::int64_t>) line += std::to_string(v);
        else if constexpr (std::is_same_v<T, double>) line += NumberText(v);
        else if constexpr (std::is_same_v<T, bool>) line += v ? "t" : "f";
        else if constexpr (std::is_same_v<T, std::string>) text(v);
        else text(HexBytes(v.bytes));
      },
      value);
}

// Takes the demo's statements: the rows of a table's INSERT are gathered
// for COPY; any other statement first sends what was gathered.
class PgDemoWriter {
 public:
  explicit PgDemoWriter(PGconn* conn) : conn_(conn) {
    for (const DemoTable& table : DemoTables()) {
      std::string columns;
      for (const DemoColumn& column : table.columns)
        columns += (columns.empty() ? "" : ", ") + std::string(column.name);
      inserts_.emplace(InsertSql(table), batches_.size());
      batches_.push_back({"COPY " + std::string(table.name) + " (" + columns + ") FROM STDIN", ""});
    }
  }

  void Run(const std::string& sql, const std::vector<DemoValue>& values) {
    auto insert = inserts_.find(sql);
    if (insert != inserts_.end() && !values.empty()) {
      std::string& rows = batches_[insert->second].rows;
      for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) rows += '\t';
        AppendCopyField(rows, values[i]);
      }
      rows += '\n';
      if (rows.size() >= kBatchBytes) Send();
      return;
    }
    Send();
    if (values.empty()) {
      Execute(conn_, sql);
      return;
    }
    RunWithValues(sql, values);
  }

  // Sends every table's gathered rows, parents first.
  void Send() {
    for (Batch& batch : batches_) {
      if (batch.rows.empty()) continue;
      Result started(PQexec(conn_, batch.copy.c_str()), &PQclear);
      if (!started || PQresultStatus(started.get()) != PGRES_COPY_IN)
        throw std::runtime_error(batch.copy + ": " + OneLine(PQerrorMessage(conn_)));
      if (PQputCopyData(conn_, batch.rows.data(), static_cast<int>(batch.rows.size())) != 1 ||
          PQputCopyEnd(conn_, nullptr) != 1)
        throw std::runtime_error(batch.copy + ": " + OneLine(PQerrorMessage(conn_)));
      // COPY answers with one result, then none.
      Check(conn_, PQgetResult(conn_), batch.copy);
      while (PGresult* more = PQgetResult(conn_)) PQclear(more);
      batch.rows.clear();
    }
  }

 private:
  struct Batch {
    std::string copy;
    std::string rows;
  };

  void RunWithValues(const std::string& sql, const std::vector<DemoValue>& values) {
    std::vector<std::string> texts(values.size());
    std::vector<const char*> pointers(values.size());
    std::vector<int> lengths(values.size()), formats(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
      const DemoValue& value = values[i];
      if (std::holds_alternative<std::monostate>(value)) continue;
      if (const auto* blob = std::get_if<DemoBlob>(&value)) {
        texts[i] = blob->bytes;
        formats[i] = 1;
      } else if (const auto* text = std::get_if<std::string>(&value)) {
        texts[i] = *text;
      } else {
        std::string field;
        AppendCopyField(field, value);
        texts[i] = field;
      }
      pointers[i] = texts[i].data();
      lengths[i] = static_cast<int>(texts[i].size());
    }
    Check(conn_,
          PQexecParams(conn_, Numbered(sql).c_str(), static_cast<int>(values.size()), nullptr,
                       pointers.data(), lengths.data(), formats.data(), 0),
          sql);
  }

  PGconn* conn_;
  std::map<std::string, size_t> inserts_;  // INSERT text -> its table's batch
  std::vector<Batch> batches_;             // in the order tables are filled
};

}  // namespace

std::int64_t WritePgDemo(const PgParams& params, std::int64_t orders) {
  Connection conn = Connect(params);
  if (PgDemoOrders(params)) throw std::runtime_error("the database holds demo tables already");
  Execute(conn.get(), "BEGIN");
  std::int64_t lines = 0;
  {
    PgDemoWriter writer(conn.get());
    lines = WriteDemo(PostgresDialect(), orders,
                      [&](const std::string& sql, const std::vector<DemoValue>& values) {
                        writer.Run(sql, values);
                      });
    writer.Send();
  }
  // New rows take keys after the demo's own.
  for (const DemoTable& table : DemoTables()) {
    std::string name(table.name);
    Execute(conn.get(), "SELECT setval(pg_get_serial_sequence('" + name +
                            "', 'id'), COALESCE(MAX(id), 0) + 1, false) FROM " + name);
  }
  Execute(conn.get(), "COMMENT ON TABLE orders IS '" + std::string(kDemoComment) +
                          std::to_string(orders) + " orders'");
  Execute(conn.get(), "COMMIT");
  // The planner's figures, for the list pages' first visit.
  Execute(conn.get(), "ANALYZE");
  return lines;
}

std::optional<std::int64_t> PgDemoOrders(const PgParams& params) {
  Connection conn = Connect(params);
  std::string names;
  for (const DemoTable& table : DemoTables())
    names += (names.empty() ? "'" : ", '") + std::string(table.name) + "'";
  Result found = Execute(
      conn.get(),
      "SELECT c.relname, COALESCE(obj_description(c.oid, 'pg_class'), '') FROM pg_class c "
      "WHERE c.relnamespace = current_schema()::regnamespace AND c.relkind IN ('r', 'v', 'p') "
      "AND c.relname IN (" + names + ", 'order_totals')");
  if (PQntuples(found.get()) == 0) return std::nullopt;
  for (int row = 0; row < PQntuples(found.get()); ++row) {
    if (std::string_view(PQgetvalue(found.get(), row, 0)) != "orders") continue;
    std::string_view comment = PQgetvalue(found.get(), row, 1);
    if (comment.rfind(kDemoComment, 0) != 0) return 0;
    comment.remove_prefix(kDemoComment.size());
    std::int64_t orders = 0;
    auto [end, ec] = std::from_chars(comment.data(), comment.data() + comment.size(), orders);
    bool whole = ec == std::errc() && comment.substr(end - comment.data()) == " orders";
    return whole && orders > 0 ? orders : 0;
  }
  return 0;
}

}  // namespace tabrix::site::demo
