// Small helpers over libpq shared by the PostgreSQL provider's classes:
// owned results, and failures raised with the server's message and its
// SQLSTATE mapped to an engine-neutral DbFailure.
#pragma once

#include <libpq-fe.h>

#include <memory>
#include <string>
#include <string_view>

#include "host/error.h"

namespace tabrix::adodb::postgres {

struct ResultClearer {
  void operator()(PGresult* result) const { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, ResultClearer>;

// The failure a SQLSTATE stands for: 23xxx kConstraint; 40001, 40P01,
// 55P03 and 53xxx kBusy; 57014 kTimeout; 08xxx and 57P0x kConnection;
// 42xxx kStatement; anything else kOther.
DbFailure PostgresFailure(std::string_view sqlstate);
NativeError PostgresNative(std::string_view sqlstate);

// The message of a lost link, and of a change whose commit may or may not
// have happened before the link was lost.
inline constexpr std::string_view kConnectionLostMessage =
    "the connection to the PostgreSQL server was lost";
inline constexpr std::string_view kOutcomeUnknownMessage =
    "the outcome of the last change is unknown: the connection to the PostgreSQL server was "
    "lost while it was being committed; it was not repeated";

// Raises kErrProvider for the failed `result` of a statement on `db`: the
// server's primary message (with its detail for a constraint, which names
// the key and values) and SQLSTATE; kTimeout (with the statement
// timeout in the message) for a cancelled statement.
[[noreturn]] void RaisePostgresError(PGconn* db, const PGresult* result);
// Raises kErrProvider, kConnection, for a link found lost (PQstatus bad);
// with the outcome-unknown message when `change_in_doubt`.
[[noreturn]] void RaiseConnectionLost(PGconn* db, bool change_in_doubt);

// libpq's message, trimmed of its trailing line break.
std::string ConnectionMessage(PGconn* db);

}  // namespace tabrix::adodb::postgres
