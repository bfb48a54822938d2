#include "host/adodb/postgres/pg_session.h"

#include <poll.h>

#include <algorithm>
#include <vector>

#include "host/adodb/postgres/pg_result.h"
#include "host/error.h"

namespace tabrix::adodb::postgres {

namespace {

void IgnoreNotice(void *, const char *) {}

// `message` with every occurrence of `password` hidden.
std::string WithoutPassword(std::string message, const std::string &password) {
  if (password.empty()) return message;
  for (size_t at = message.find(password); at != std::string::npos;
       at = message.find(password, at + 3))
    message.replace(at, password.size(), "***");
  return message;
}

std::string SessionSettings(const PgSessionOptions &options) {
  std::string settings =
      "-c DateStyle=ISO,YMD -c IntervalStyle=postgres -c lc_monetary=C "
      "-c standard_conforming_strings=on -c jit=off -c statement_timeout=" +
      std::to_string(std::max<long long>(0, options.statement_timeout.count()));
  if (options.read_only) settings += " -c default_transaction_read_only=on";
  if (options.lock_timeout.count() > 0)
    settings += " -c lock_timeout=" + std::to_string(options.lock_timeout.count());
  return settings;
}

}  // namespace

PgConn OpenPgSession(const PgParams &params, const PgSessionOptions &options) {
  PgParams all;
  std::string given_options;
  for (const auto &[key, value] : params) {
    if (key == "options")
      given_options = value;
    else if (key != "client_encoding")
      all.emplace_back(key, value);
  }
  if (ParamValue(params, "connect_timeout").empty()) {
    long long seconds = (options.connect_timeout.count() + 999) / 1000;
    all.emplace_back("connect_timeout", std::to_string(std::max<long long>(2, seconds)));
  }
  all.emplace_back("client_encoding", "UTF8");
  all.emplace_back("options",
                   (given_options.empty() ? "" : given_options + " ") + SessionSettings(options));
  all.emplace_back("fallback_application_name", options.application_name);

  std::vector<const char *> keys, values;
  for (const auto &[key, value] : all) {
    keys.push_back(key.c_str());
    values.push_back(value.c_str());
  }
  keys.push_back(nullptr);
  values.push_back(nullptr);
  // No value is read as a connection string of its own (expand_dbname 0).
  PgConn db(PQconnectdbParams(keys.data(), values.data(), 0));
  if (!db)
    RaiseProviderError("out of memory while connecting", {"PostgreSQL", "", DbFailure::kOther});
  if (PQstatus(db.get()) != CONNECTION_OK) {
    std::string message =
        WithoutPassword(ConnectionMessage(db.get()), ParamValue(params, "password"));
    RaiseProviderError(
        "cannot connect to PostgreSQL: " + message + " (" + DescribeTarget(params) + ")",
        {"PostgreSQL", "08001", DbFailure::kConnection});
  }
  PQsetNoticeProcessor(db.get(), IgnoreNotice, nullptr);
  return db;
}

bool PgIdleLinkAlive(PGconn *db, bool round_trip) {
  if (PQstatus(db) != CONNECTION_OK || PQtransactionStatus(db) != PQTRANS_IDLE) return false;
  // The server closes or terminates an idle connection by writing to it: a
  // message, then the end of the link. Whatever is there is read, and read
  // again while more comes, until the status tells.
  for (int reads = 0; reads < 4; ++reads) {
    pollfd fd{PQsocket(db), POLLIN, 0};
    if (fd.fd < 0) return false;
    if (poll(&fd, 1, 0) <= 0) break;
    if (PQconsumeInput(db) == 0 || PQstatus(db) != CONNECTION_OK) return false;
    while (PGnotify *notice = PQnotifies(db)) PQfreemem(notice);
  }
  if (PQstatus(db) != CONNECTION_OK) return false;
  if (!round_trip) return PQtransactionStatus(db) == PQTRANS_IDLE;
  PgResult result(PQexec(db, ""));
  return result && PQresultStatus(result.get()) == PGRES_EMPTY_QUERY &&
         PQstatus(db) == CONNECTION_OK && PQtransactionStatus(db) == PQTRANS_IDLE;
}

}  // namespace tabrix::adodb::postgres
