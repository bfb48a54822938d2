#include "host/adodb/postgres/pg_provider.h"

#include <libpq-fe.h>

#include <optional>
#include <vector>

#include "host/adodb/connection.h"
#include "host/adodb/postgres/pg_connection.h"
#include "host/adodb/postgres/pg_result.h"

namespace tabrix::adodb::postgres {

namespace {

std::optional<std::string> FirstOf(const ConnectionString& parts,
                                   std::initializer_list<const char*> keys) {
  for (const char* key : keys)
    if (auto value = parts.Get(key)) return value;
  return std::nullopt;
}

// `message` with every occurrence of `password` hidden.
std::string WithoutPassword(std::string message, const std::string& password) {
  if (password.empty()) return message;
  for (size_t at = message.find(password); at != std::string::npos;
       at = message.find(password, at + 3))
    message.replace(at, password.size(), "***");
  return message;
}

void IgnoreNotice(void*, const char*) {}

}  // namespace

std::unique_ptr<ConnectionBackend> PostgresProvider::Connect(const ConnectionString& parts) const {
  long long timeout_ms = StatementTimeout().count();
  long long connect_seconds = std::max<long long>(2, (ConnectTimeout().count() + 999) / 1000);
  std::string options = "-c DateStyle=ISO,YMD -c IntervalStyle=postgres -c lc_monetary=C "
                        "-c standard_conforming_strings=on -c statement_timeout=" +
                        std::to_string(timeout_ms);

  std::vector<std::pair<std::string, std::string>> settings;
  settings.emplace_back("connect_timeout", std::to_string(connect_seconds));
  std::string password;
  if (auto uri = parts.Get("uri")) {
    settings.emplace_back("dbname", *uri);
  } else {
    std::optional<std::string> database = FirstOf(parts, {"database", "initial catalog", "dbname"});
    if (!database || database->empty())
      RaiseError(kErrAdoArguments, "malformed connection string '" + parts.redacted_text() +
                                       "': no Database is named");
    settings.emplace_back("dbname", *database);
    if (auto host = FirstOf(parts, {"host", "server", "data source"}))
      settings.emplace_back("host", *host);
    if (auto port = parts.Get("port")) settings.emplace_back("port", *port);
    if (auto user = FirstOf(parts, {"user id", "user", "uid", "username"}))
      settings.emplace_back("user", *user);
    if (auto secret = FirstOf(parts, {"password", "pwd"})) {
      password = *secret;
      settings.emplace_back("password", *secret);
    }
    if (auto ssl = parts.Get("sslmode")) settings.emplace_back("sslmode", *ssl);
  }
  settings.emplace_back("client_encoding", "UTF8");
  settings.emplace_back("options", options);
  settings.emplace_back("fallback_application_name", "tabrix");

  std::vector<const char*> keys, values;
  for (const auto& [key, value] : settings) {
    keys.push_back(key.c_str());
    values.push_back(value.c_str());
  }
  keys.push_back(nullptr);
  values.push_back(nullptr);
  // Only a URI is expanded: a plain Database value is a name, never a
  // connection string of its own.
  int expand = parts.Get("uri") ? 1 : 0;
  PGconn* db = PQconnectdbParams(keys.data(), values.data(), expand);
  if (db == nullptr)
    RaiseProviderError("out of memory while connecting", {"PostgreSQL", "", DbFailure::kOther});
  if (PQstatus(db) != CONNECTION_OK) {
    std::string message = WithoutPassword(ConnectionMessage(db), password);
    PQfinish(db);
    RaiseProviderError(message + " (" + parts.redacted_text() + ")",
                       {"PostgreSQL", "08001", DbFailure::kConnection});
  }
  PQsetNoticeProcessor(db, IgnoreNotice, nullptr);
  return std::make_unique<PostgresConnection>(db, timeout_ms);
}

}  // namespace tabrix::adodb::postgres
