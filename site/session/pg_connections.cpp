#include "site/session/pg_connections.h"

#include <iostream>

#include "host/adodb/connection.h"
#include "host/adodb/postgres/pg_session.h"
#include "host/error.h"

namespace tabrix::site {

namespace {

// The advisory lock key that servers take while they make the tables.
constexpr const char* kSetupLockSql = "SELECT pg_advisory_xact_lock(7264011960142735617)";

// The SQLSTATEs of a wait that ran out: lock_not_available (lock_timeout)
// and query_canceled (statement_timeout).
bool IsTimeout(std::string_view sqlstate) { return sqlstate == "55P03" || sqlstate == "57014"; }

std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  for (char& c : text)
    if (c == '\n') c = ' ';
  return text;
}

std::string Millis(std::chrono::milliseconds ms) { return std::to_string(ms.count()) + "ms"; }

// Raises the error of a failed `result` on `conn`: busy for a wait that ran
// out, else the database's own message.
[[noreturn]] void Raise(PGconn* conn, const PgResult& result) {
  const char* state = result.get() ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
  std::string sqlstate = state ? state : "";
  if (PQstatus(conn) != CONNECTION_OK)
    throw SessionStoreError("the session database cannot be reached: " +
                                OneLine(PQerrorMessage(conn)), false);
  if (IsTimeout(sqlstate))
    throw SessionStoreError("the session database did not answer in time: " +
                                OneLine(PQerrorMessage(conn)), true);
  throw SessionStoreError("the session database refused a statement (" + sqlstate +
                              "): " + OneLine(PQerrorMessage(conn)), false);
}

bool Succeeded(const PgResult& result) {
  ExecStatusType status = PQresultStatus(result.get());
  return result.get() != nullptr && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK);
}

}  // namespace

long long PgResult::affected() const {
  const char* text = PQcmdTuples(result_.get());
  return text != nullptr && *text != '\0' ? std::stoll(text) : 0;
}

PgConnections::PgConnections(PgParams params, PgOptions options)
    : params_(std::move(params)), options_(std::move(options)) {}

PgConnections::~PgConnections() {
  for (PGconn* conn : idle_) PQfinish(conn);
}

PGconn* PgConnections::Connect() {
  adodb::postgres::PgSessionOptions session;
  session.connect_timeout = options_.connect_timeout.value_or(adodb::ConnectTimeout());
  session.statement_timeout = options_.statement_timeout.value_or(adodb::StatementTimeout());
  session.lock_timeout = options_.wait;
  PGconn* conn = nullptr;
  try {
    conn = adodb::postgres::OpenPgSession(params_, session).release();
  } catch (const ScriptError& e) {
    throw SessionStoreError("the session database cannot be reached: " + e.description(), false);
  }
  try {
    Setup(conn);
  } catch (...) {
    PQfinish(conn);
    throw;
  }
  return conn;
}

void PgConnections::Setup(PGconn* conn) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (setup_done_ || options_.setup_sql.empty()) return;
  }
  std::string sql = std::string("BEGIN; ") + kSetupLockSql + "; " + options_.setup_sql + "; COMMIT";
  PgResult result(PQexec(conn, sql.c_str()));
  if (!Succeeded(result)) Raise(conn, result);
  std::lock_guard<std::mutex> lock(mutex_);
  setup_done_ = true;
}

PgConnections::Lent PgConnections::Borrow() {
  auto deadline = std::chrono::steady_clock::now() + options_.wait;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    while (!idle_.empty()) {
      PGconn* conn = idle_.back();
      idle_.pop_back();
      if (adodb::postgres::PgIdleLinkAlive(conn, false)) return Lent(this, conn);
      // Broken while idle (the server went away or restarted): a new one
      // takes its place.
      PQfinish(conn);
      --open_;
    }
    if (open_ < options_.max_connections) break;
    if (freed_.wait_until(lock, deadline) == std::cv_status::timeout && idle_.empty() &&
        open_ >= options_.max_connections)
      throw SessionStoreError("every session database connection stayed busy for " +
                                  Millis(options_.wait), true);
  }
  if (std::chrono::steady_clock::now() < connect_refused_until_)
    throw SessionStoreError("the session database cannot be reached (a connect failed "
                            "moments ago)", false);
  ++open_;
  lock.unlock();
  try {
    return Lent(this, Connect());
  } catch (...) {
    lock.lock();
    --open_;
    connect_refused_until_ = std::chrono::steady_clock::now() + options_.retry_after;
    freed_.notify_one();
    throw;
  }
}

void PgConnections::GiveBack(PGconn* conn) {
  if (PQstatus(conn) != CONNECTION_OK || PQtransactionStatus(conn) != PQTRANS_IDLE) {
    CloseOne(conn);
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  idle_.push_back(conn);
  freed_.notify_one();
}

void PgConnections::CloseOne(PGconn* conn) {
  PQfinish(conn);
  std::lock_guard<std::mutex> lock(mutex_);
  --open_;
  freed_.notify_one();
}

PgConnections::Lent::Lent(Lent&& other) noexcept
    : owner_(other.owner_), conn_(std::exchange(other.conn_, nullptr)) {}

PgConnections::Lent::~Lent() {
  if (conn_ != nullptr) owner_->GiveBack(conn_);
}

void PgConnections::Lent::Discard() {
  if (conn_ != nullptr) owner_->CloseOne(std::exchange(conn_, nullptr));
}

PgResult PgConnections::Lent::Exec(const char* sql, const std::vector<PgParam>& params,
                                   bool binary_result) {
  std::vector<const char*> values;
  std::vector<int> lengths, formats;
  for (const PgParam& p : params) {
    values.push_back(p.null ? nullptr : p.value.data());
    lengths.push_back(static_cast<int>(p.value.size()));
    formats.push_back(p.binary ? 1 : 0);
  }
  PgResult result(PQexecParams(conn_, sql, static_cast<int>(params.size()), nullptr,
                               values.data(), lengths.data(), formats.data(),
                               binary_result ? 1 : 0));
  if (!Succeeded(result)) Raise(conn_, result);
  return result;
}

}  // namespace tabrix::site
