// Where `tabrix demo --postgres` puts the demo: the address a person gives
// (a postgresql:// URI or a libpq keyword string, "host=/tmp port=5432
// user=postgres dbname=shop") turned into the site's connection string
// ("Provider=PostgreSQL;Host=..;Port=..;Database=..;User ID=..;Password=..")
// and the libpq parameters the loader connects with. The parameters come
// from the connection string itself, so the loader reaches exactly the
// database the site will.
#pragma once

#include <string>
#include <string_view>

#include "site/session/pg_connections.h"

namespace tabrix::site::demo {

struct PgDemoTarget {
  std::string set_dns;  // a password, if given, stays in it
  PgParams params;
};

// Raises std::invalid_argument saying why for text libpq cannot read, or
// for a parameter the site's connection string cannot carry (only host,
// port, dbname, user, password and sslmode).
PgDemoTarget PgDemoTargetFor(std::string_view address);

}  // namespace tabrix::site::demo
