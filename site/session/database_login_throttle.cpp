#include "site/session/database_login_throttle.h"

#include <charconv>
#include <iostream>
#include <vector>

#include "host/locale/locale.h"

namespace tabrix::site {

namespace {

constexpr const char* kSetupSql =
    "CREATE SCHEMA IF NOT EXISTS tabrix; "
    "CREATE TABLE IF NOT EXISTS tabrix.login_failures ("
    "name text PRIMARY KEY, failures bigint[] NOT NULL, locked_until bigint NOT NULL, "
    "expires_at bigint NOT NULL); "
    "CREATE INDEX IF NOT EXISTS login_failures_expires_at ON tabrix.login_failures (expires_at)";

PgOptions WithSetup(PgOptions options) {
  options.setup_sql = kSetupSql;
  return options;
}

long long Micros(DatabaseLoginThrottle::Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

long long Micros(std::chrono::steady_clock::duration d) {
  return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
}

PgParam Number(long long value) { return PgParam{std::to_string(value)}; }

// "{1,2,3}" (PostgreSQL's text of a bigint[]) as numbers.
std::vector<long long> ParseArray(std::string_view text) {
  std::vector<long long> values;
  if (text.size() < 2) return values;
  text = text.substr(1, text.size() - 2);
  while (!text.empty()) {
    std::size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    long long n = 0;
    if (std::from_chars(item.data(), item.data() + item.size(), n).ec == std::errc())
      values.push_back(n);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return values;
}

std::string ArrayText(const std::vector<long long>& values) {
  std::string text = "{";
  for (std::size_t i = 0; i < values.size(); ++i)
    text += (i ? "," : "") + std::to_string(values[i]);
  return text + "}";
}

}  // namespace

DatabaseLoginThrottle::DatabaseLoginThrottle(PgParams params, LoginThrottleOptions options,
                                             PgOptions connections)
    : options_(options), connections_(std::move(params), WithSetup(std::move(connections))) {}

bool DatabaseLoginThrottle::Refused(std::string_view name, Clock::time_point now) {
  PgConnections::Lent lent = connections_.Borrow();
  PgResult row = lent.Exec(
      "SELECT 1 FROM tabrix.login_failures WHERE name = $1 AND locked_until > $2",
      {PgParam{FoldCase(name)}, Number(Micros(now))});
  return row.rows() > 0;
}

void DatabaseLoginThrottle::Failed(std::string_view name, Clock::time_point now) {
  long long at = Micros(now), window = Micros(options_.window);
  PgConnections::Lent lent = connections_.Borrow();
  PgParam key{FoldCase(name)};
  // A connection left inside the transaction by a failure is closed, not
  // lent again.
  lent.Exec("BEGIN");
  {
    lent.Exec("INSERT INTO tabrix.login_failures (name, failures, locked_until, expires_at) "
              "VALUES ($1, '{}', 0, 0) ON CONFLICT (name) DO NOTHING",
              {key});
    PgResult row = lent.Exec(
        "SELECT failures, locked_until FROM tabrix.login_failures WHERE name = $1 FOR UPDATE",
        {key});
    std::vector<long long> failures = ParseArray(row.Get(0, 0));
    long long locked_until = std::stoll(std::string(row.Get(0, 1)));
    if (at < locked_until) {
      lent.Exec("COMMIT");  // refused attempts do not extend the lock
      return;
    }
    std::erase_if(failures, [&](long long t) { return at - t >= window; });
    failures.push_back(at);
    if (failures.size() >= options_.max_failures) {
      locked_until = at + Micros(options_.lockout);
      failures.clear();
    }
    lent.Exec("UPDATE tabrix.login_failures SET failures = $2, locked_until = $3, "
              "expires_at = $4 WHERE name = $1",
              {key, PgParam{ArrayText(failures)}, Number(locked_until),
               Number(std::max(locked_until, at + window))});
    lent.Exec("COMMIT");
  }
  std::lock_guard<std::mutex> lock(sweep_mutex_);
  if (now - last_sweep_ < options_.window) return;
  last_sweep_ = now;
  try {
    lent.Exec("DELETE FROM tabrix.login_failures WHERE name IN (SELECT name FROM "
              "tabrix.login_failures WHERE expires_at <= $1 ORDER BY expires_at LIMIT 1000)",
              {Number(at)});
  } catch (const SessionStoreError& e) {
    std::cerr << "tabrix: old failed logins not swept: " << e.what() << "\n";
  }
}

void DatabaseLoginThrottle::Succeeded(std::string_view name) {
  PgConnections::Lent lent = connections_.Borrow();
  lent.Exec("DELETE FROM tabrix.login_failures WHERE name = $1", {PgParam{FoldCase(name)}});
}

}  // namespace tabrix::site
