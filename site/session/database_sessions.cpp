#include "site/session/database_sessions.h"

#include <iostream>
#include <optional>

namespace tabrix::site {

namespace {

constexpr const char* kSetupSql =
    "CREATE SCHEMA IF NOT EXISTS tabrix; "
    "CREATE TABLE IF NOT EXISTS tabrix.sessions ("
    "id text PRIMARY KEY, data bytea NOT NULL, expires_at bigint NOT NULL); "
    "CREATE INDEX IF NOT EXISTS sessions_expires_at ON tabrix.sessions (expires_at); "
    // Rows of an earlier format held a copy of the whole configuration,
    // secrets included: they go at start rather than wait for their expiry.
    "DELETE FROM tabrix.sessions WHERE substring(data FROM 1 FOR 4) <> '\\x54425302'::bytea";

PgOptions WithSetup(PgOptions options) {
  options.setup_sql = kSetupSql;
  return options;
}

constexpr const char* kSweepSql =
    "DELETE FROM tabrix.sessions WHERE id IN (SELECT id FROM tabrix.sessions "
    "WHERE expires_at < $1 ORDER BY expires_at LIMIT $2)";

PgParam Text(std::string value) { return PgParam{std::move(value)}; }
PgParam Number(long long value) { return PgParam{std::to_string(value)}; }

}  // namespace

// Holds the lent connection, and on it the session's advisory lock, while
// the request runs; a Fresh hold borrows a connection only to write.
class DatabaseSessions::RowHold : public SessionBacking::Hold {
 public:
  RowHold(DatabaseSessions& store, std::optional<PgConnections::Lent> lent)
      : store_(store), lent_(std::move(lent)) {}

  ~RowHold() override {
    if (!lent_) return;
    try {
      lent_->Exec("SELECT pg_advisory_unlock_all()");
    } catch (const SessionStoreError&) {
      // A connection that cannot say it let go must not be lent again
      // still holding the lock.
      lent_->Discard();
    }
  }

  PgConnections::Lent* lent() { return lent_ ? &*lent_ : nullptr; }

  void Write(const std::string& stored_id, const std::string& id,
             const std::string& data) override {
    if (!lent_) lent_.emplace(store_.connections_.Borrow());
    long long expires = store_.NowMicros() + store_.options_.idle.count() * 1000;
    // One statement: the old id goes and the new one comes, or neither.
    lent_->Exec(
        "WITH gone AS (DELETE FROM tabrix.sessions WHERE id = $4 AND id <> $1) "
        "INSERT INTO tabrix.sessions (id, data, expires_at) VALUES ($1, $2, $3) "
        "ON CONFLICT (id) DO UPDATE SET data = EXCLUDED.data, expires_at = EXCLUDED.expires_at",
        {Text(id), PgParam{data, true}, Number(expires), Text(stored_id)});
    store_.MaybeSweep(*lent_);
  }

  void Delete(const std::string& stored_id) override {
    if (!lent_) lent_.emplace(store_.connections_.Borrow());
    lent_->Exec("DELETE FROM tabrix.sessions WHERE id = $1", {Text(stored_id)});
  }

 private:
  DatabaseSessions& store_;
  std::optional<PgConnections::Lent> lent_;
};

DatabaseSessions::DatabaseSessions(PgParams params, DatabaseSessionsOptions options)
    : options_(std::move(options)),
      connections_(std::move(params), WithSetup(options_.connections)),
      last_sweep_(std::chrono::steady_clock::now()) {}

long long DatabaseSessions::LockKey(std::string_view id) {
  // FNV-1a, 64 bits, over a prefix of ours and the id.
  std::uint64_t hash = 14695981039346656037ull;
  for (std::string_view part : {std::string_view("tabrix-session:"), id}) {
    for (char c : part) {
      hash ^= static_cast<unsigned char>(c);
      hash *= 1099511628211ull;
    }
  }
  return static_cast<long long>(hash);
}

long long DatabaseSessions::NowMicros() const {
  auto now = options_.clock ? options_.clock() : std::chrono::system_clock::now();
  return std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
}

std::unique_ptr<SessionBacking::Hold> DatabaseSessions::Open(const std::string& id,
                                                            std::optional<std::string>* data) {
  PgConnections::Lent lent = connections_.Borrow();
  lent.Exec("SELECT pg_advisory_lock($1)", {Number(LockKey(id))});
  // From here the hold gives the lock back whatever happens.
  auto hold = std::make_unique<RowHold>(*this, std::move(lent));
  long long now = NowMicros();
  long long idle = options_.idle.count() * 1000;
  // Idle exactly the idle time is still alive; each use restarts it. The
  // row's expiry moves only once it lags by a twentieth of the idle time:
  // a request that reads the session then writes nothing, so views of a
  // page leave the database's data, and the counts kept for it, as they
  // were. (A session may so end up to that twentieth early.)
  PgResult row = hold->lent()->Exec(
      "WITH live AS (SELECT data FROM tabrix.sessions WHERE id = $1 AND expires_at >= $3), "
      "touched AS (UPDATE tabrix.sessions SET expires_at = $2 "
      "WHERE id = $1 AND expires_at >= $3 AND expires_at < $4) "
      "SELECT data FROM live",
      {Text(id), Number(now + idle), Number(now), Number(now + idle - idle / 20)}, true);
  if (row.rows() == 1) *data = std::string(row.Get(0, 0));
  return hold;
}

std::unique_ptr<SessionBacking::Hold> DatabaseSessions::Fresh() {
  return std::make_unique<RowHold>(*this, std::nullopt);
}

void DatabaseSessions::Start() {
  PgConnections::Lent lent = connections_.Borrow();
}

long long DatabaseSessions::Sweep() {
  PgConnections::Lent lent = connections_.Borrow();
  return lent
      .Exec(kSweepSql, {Number(NowMicros()), Number(options_.sweep_batch)})
      .affected();
}

void DatabaseSessions::MaybeSweep(PgConnections::Lent& lent) {
  {
    std::lock_guard<std::mutex> lock(sweep_mutex_);
    auto now = std::chrono::steady_clock::now();
    if (now - last_sweep_ < options_.sweep_interval) return;
    last_sweep_ = now;
  }
  try {
    lent.Exec(kSweepSql, {Number(NowMicros()), Number(options_.sweep_batch)});
  } catch (const SessionStoreError& e) {
    std::cerr << "tabrix: expired sessions not swept: " << e.what() << "\n";
  }
}

}  // namespace tabrix::site
