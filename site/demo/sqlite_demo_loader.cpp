#include "site/demo/sqlite_demo_loader.h"

#include <sqlite3.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "site/demo/demo_data.h"

namespace tabrix::site::demo {

namespace {

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, CloseDatabase>;
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

[[noreturn]] void Fail(sqlite3* db, const std::string& doing) {
  throw std::runtime_error(doing + ": " + sqlite3_errmsg(db));
}

DatabaseHandle Open(const std::filesystem::path& file, int flags) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
  DatabaseHandle db(raw);
  if (rc != SQLITE_OK) {
    std::string why = raw ? sqlite3_errmsg(raw) : "out of memory";
    throw std::runtime_error("cannot open " + file.string() + ": " + why);
  }
  return db;
}

void Execute(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Fail(db, sql);
}

// Runs statements with bound values, each text prepared once.
class StatementRunner {
 public:
  explicit StatementRunner(sqlite3* db) : db_(db) {}

  void Run(const std::string& sql, const std::vector<DemoValue>& values) {
    sqlite3_stmt* statement = Prepared(sql);
    for (size_t i = 0; i < values.size(); ++i) Bind(statement, static_cast<int>(i + 1), values[i]);
    if (sqlite3_step(statement) != SQLITE_DONE) Fail(db_, sql);
    sqlite3_reset(statement);
  }

 private:
  sqlite3_stmt* Prepared(const std::string& sql) {
    auto found = statements_.find(sql);
    if (found != statements_.end()) return found->second.get();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) !=
        SQLITE_OK)
      Fail(db_, sql);
    return statements_.emplace(sql, StatementHandle(raw)).first->second.get();
  }

  void Bind(sqlite3_stmt* statement, int at, const DemoValue& value) {
    int rc = std::visit(
        [&](const auto& v) -> int {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::monostate>) {
            return sqlite3_bind_null(statement, at);
          } else if constexpr (std::is_same_v<T, std::int64_t>) {
            return sqlite3_bind_int64(statement, at, v);
          } else if constexpr (std::is_same_v<T, double>) {
            return sqlite3_bind_double(statement, at, v);
          } else if constexpr (std::is_same_v<T, bool>) {
            return sqlite3_bind_int(statement, at, v ? 1 : 0);
          } else if constexpr (std::is_same_v<T, std::string>) {
            return sqlite3_bind_text(statement, at, v.data(), static_cast<int>(v.size()),
                                     SQLITE_STATIC);
          } else {
            return sqlite3_bind_blob(statement, at, v.bytes.data(),
                                     static_cast<int>(v.bytes.size()), SQLITE_STATIC);
          }
        },
        value);
    if (rc != SQLITE_OK) Fail(db_, "binding value " + std::to_string(at));
  }

  sqlite3* db_;
  std::unordered_map<std::string, StatementHandle> statements_;
};

}  // namespace

std::int64_t WriteSqliteDemo(const std::filesystem::path& file, std::int64_t orders) {
  if (std::filesystem::exists(file))
    throw std::runtime_error(file.string() + " exists already");
  try {
    std::int64_t lines = 0;
    {
      DatabaseHandle db = Open(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
      Execute(db.get(), "PRAGMA journal_mode=OFF");
      Execute(db.get(), "PRAGMA synchronous=OFF");
      Execute(db.get(), "PRAGMA cache_size=-65536");
      Execute(db.get(), "BEGIN");
      {
        StatementRunner runner(db.get());
        lines = WriteDemo(SqliteDialect(), orders,
                          [&](const std::string& sql, const std::vector<DemoValue>& values) {
                            runner.Run(sql, values);
                          });
      }
      Execute(db.get(), "PRAGMA user_version=" + std::to_string(orders));
      Execute(db.get(), "COMMIT");
      // The demo serves readers while it takes writes: it keeps WAL, which
      // stays with the file (the provider leaves a file's mode as it is).
      Execute(db.get(), "PRAGMA journal_mode=WAL");
    }
    return lines;
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    throw;
  }
}

std::int64_t SqliteDemoOrders(const std::filesystem::path& file) {
  DatabaseHandle db = Open(file, SQLITE_OPEN_READONLY);
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db.get(), "PRAGMA user_version", -1, &raw, nullptr) != SQLITE_OK)
    Fail(db.get(), "reading " + file.string());
  StatementHandle statement(raw);
  if (sqlite3_step(statement.get()) != SQLITE_ROW) Fail(db.get(), "reading " + file.string());
  return sqlite3_column_int64(statement.get(), 0);
}

}  // namespace tabrix::site::demo
