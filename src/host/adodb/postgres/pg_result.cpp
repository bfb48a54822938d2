#include "host/adodb/postgres/pg_result.h"

#include "host/adodb/connection.h"

namespace tabrix::adodb::postgres {

namespace {

std::string Trimmed(const char* text) {
  std::string s = text == nullptr ? "" : text;
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

DbFailure PostgresFailure(std::string_view state) {
  if (state.size() != 5) return DbFailure::kOther;
  std::string_view klass = state.substr(0, 2);
  if (klass == "23") return DbFailure::kConstraint;
  if (state == "40001" || state == "40P01" || state == "55P03" || klass == "53")
    return DbFailure::kBusy;
  if (state == "57014") return DbFailure::kTimeout;
  if (klass == "08" || state == "57P01" || state == "57P02" || state == "57P03")
    return DbFailure::kConnection;
  if (klass == "42") return DbFailure::kStatement;
  return DbFailure::kOther;
}

NativeError PostgresNative(std::string_view sqlstate) {
  return {"PostgreSQL", std::string(sqlstate), PostgresFailure(sqlstate)};
}

std::string ConnectionMessage(PGconn* db) { return Trimmed(PQerrorMessage(db)); }

void RaiseConnectionLost(PGconn* db, bool change_in_doubt) {
  std::string message(change_in_doubt ? kOutcomeUnknownMessage : kConnectionLostMessage);
  std::string detail = ConnectionMessage(db);
  if (!detail.empty()) message += " (" + detail + ")";
  RaiseProviderError(std::move(message), {"PostgreSQL", "08006", DbFailure::kConnection});
}

void RaisePostgresError(PGconn* db, const PGresult* result) {
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const char* primary =
      result != nullptr ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  NativeError native = PostgresNative(state == nullptr ? "" : state);
  if (state == nullptr) native.failure = DbFailure::kOther;
  std::string message = primary != nullptr ? Trimmed(primary) : ConnectionMessage(db);
  // A refused write names its key and values in the detail; that is what
  // the person who typed them needs to read.
  const char* detail =
      result != nullptr ? PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL) : nullptr;
  if (native.failure == DbFailure::kConstraint && detail != nullptr)
    message += ": " + Trimmed(detail);
  if (native.failure == DbFailure::kTimeout && StatementTimeout().count() > 0)
    message = "the statement ran past the statement timeout of " +
              std::to_string(StatementTimeout().count()) + " ms and was interrupted";
  RaiseProviderError(std::move(message), std::move(native));
}

}  // namespace tabrix::adodb::postgres
