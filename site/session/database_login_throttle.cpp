#include "site/session/database_login_throttle.h"

#include <charconv>
#include <iostream>
#include <map>
#include <vector>


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

LoginRefusal DatabaseLoginThrottle::Refused(std::string_view name, std::string_view address,
                                            Clock::time_point now) {
  PgConnections::Lent lent = connections_.Borrow();
  std::string by_address = AddressCountKey(address);
  PgResult rows = lent.Exec(
      "SELECT name FROM tabrix.login_failures WHERE name IN ($1, $2, $3) AND locked_until > $4",
      {PgParam{PairKey(name, address)}, PgParam{by_address}, PgParam{NameKey(name)},
       Number(Micros(now))});
  if (rows.rows() == 0) return LoginRefusal::kNone;
  for (int i = 0; i < rows.rows(); ++i)
    if (rows.Get(i, 0) == by_address) return LoginRefusal::kAddress;
  return LoginRefusal::kName;
}

void DatabaseLoginThrottle::Failed(std::string_view name, std::string_view address,
                                   Clock::time_point now) {
  long long at = Micros(now), window = Micros(options_.window);
  std::map<std::string, std::size_t> limits = {
      {PairKey(name, address), options_.max_failures},
      {AddressCountKey(address), options_.max_address_failures},
      {NameKey(name), options_.max_name_failures}};
  std::vector<PgParam> keys;
  for (const auto& [key, limit] : limits) keys.push_back(PgParam{key});
  PgConnections::Lent lent = connections_.Borrow();
  // A connection left inside the transaction by a failure is closed, not
  // lent again.
  lent.Exec("BEGIN");
  // In key order, as every server takes them: no two transactions wait on
  // each other.
  PgResult added = lent.Exec(
      "INSERT INTO tabrix.login_failures (name, failures, locked_until, expires_at) "
      "SELECT k, '{}', 0, 0 FROM unnest(ARRAY[$1, $2, $3]) AS k ORDER BY k "
      "ON CONFLICT (name) DO NOTHING RETURNING name",
      keys);
  PgResult rows = lent.Exec(
      "SELECT name, failures, locked_until FROM tabrix.login_failures "
      "WHERE name IN ($1, $2, $3) ORDER BY name FOR UPDATE",
      keys);
  for (int i = 0; i < rows.rows(); ++i) {
    long long locked_until = std::stoll(std::string(rows.Get(i, 2)));
    if (at < locked_until) continue;  // refused attempts do not extend the lock
    std::vector<long long> failures = ParseArray(rows.Get(i, 1));
    std::erase_if(failures, [&](long long t) { return at - t >= window; });
    failures.push_back(at);
    if (failures.size() >= limits[std::string(rows.Get(i, 0))]) {
      locked_until = at + Micros(options_.lockout);
      failures.clear();
    }
    lent.Exec("UPDATE tabrix.login_failures SET failures = $2, locked_until = $3, "
              "expires_at = $4 WHERE name = $1",
              {PgParam{std::string(rows.Get(i, 0))}, PgParam{ArrayText(failures)},
               Number(locked_until), Number(std::max(locked_until, at + window))});
  }
  lent.Exec("COMMIT");

  std::lock_guard<std::mutex> lock(sweep_mutex_);
  new_rows_ += static_cast<std::size_t>(added.rows());
  bool sweep = now - last_sweep_ >= options_.window;
  bool trim = new_rows_ >= std::max<std::size_t>(1, options_.max_entries / 10);
  if (!sweep && !trim) return;
  try {
    if (sweep) {
      last_sweep_ = now;
      lent.Exec("DELETE FROM tabrix.login_failures WHERE name IN (SELECT name FROM "
                "tabrix.login_failures WHERE expires_at <= $1 ORDER BY expires_at LIMIT 1000)",
                {Number(at)});
    }
    if (trim) {
      new_rows_ = 0;
      // Rows not locked, the oldest first, then the locks that end first.
      lent.Exec("DELETE FROM tabrix.login_failures WHERE name IN (SELECT name FROM "
                "tabrix.login_failures ORDER BY locked_until > $1, "
                "CASE WHEN locked_until > $1 THEN locked_until ELSE expires_at END "
                "LIMIT GREATEST(0, (SELECT count(*) FROM tabrix.login_failures) - $2))",
                {Number(at), Number(static_cast<long long>(options_.max_entries))});
    }
  } catch (const SessionStoreError& e) {
    std::cerr << "tabrix: old failed logins not swept: " << e.what() << "\n";
  }
}

void DatabaseLoginThrottle::Succeeded(std::string_view name, std::string_view address) {
  PgConnections::Lent lent = connections_.Borrow();
  lent.Exec("DELETE FROM tabrix.login_failures WHERE name = $1",
            {PgParam{PairKey(name, address)}});
}

long long DatabaseLoginThrottle::rows() {
  PgConnections::Lent lent = connections_.Borrow();
  return std::stoll(std::string(lent.Exec("SELECT count(*) FROM tabrix.login_failures").Get(0, 0)));
}

}  // namespace tabrix::site
