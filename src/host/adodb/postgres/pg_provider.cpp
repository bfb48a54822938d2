#include "host/adodb/postgres/pg_provider.h"

#include "host/adodb/connection.h"
#include "host/adodb/postgres/pg_connection.h"
#include "host/adodb/postgres/pg_params.h"
#include "host/adodb/postgres/pg_session.h"

namespace tabrix::adodb::postgres {

std::unique_ptr<ConnectionBackend> PostgresProvider::Connect(const ConnectionString& parts) const {
  PgSessionOptions options;
  options.connect_timeout = ConnectTimeout();
  options.statement_timeout = StatementTimeout();
  options.read_only = ReadOnlyMode(parts);
  PgConn db = OpenPgSession(PgParamsFor(parts), options);
  return std::make_unique<PostgresConnection>(db.release(), options.statement_timeout.count(),
                                              CatalogCache::For(parts.text()));
}

}  // namespace tabrix::adodb::postgres
