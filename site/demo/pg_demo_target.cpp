#include "site/demo/pg_demo_target.h"

#include <stdexcept>

#include "host/adodb/connection_string.h"
#include "host/error.h"

namespace tabrix::site::demo {

namespace {

// A value in the site's connection string: quoted when it holds what
// separates or quotes values, or blanks that would be trimmed.
std::string ConnectionValue(const std::string& value) {
  bool plain = !value.empty() && value.find_first_of(";=\"'") == std::string::npos &&
               value.front() != ' ' && value.back() != ' ';
  if (plain) return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

PgDemoTarget PgDemoTargetFor(std::string_view address) {
  std::string text(address);
  if (text.find_first_not_of(" \t") == std::string::npos)
    throw std::invalid_argument("--postgres needs a postgresql:// URI or libpq keywords");
  PgParams given;
  try {
    given = adodb::postgres::PgParamsFor(text);
  } catch (const ScriptError& e) {
    throw std::invalid_argument("--postgres \"" + adodb::RedactPassword(text) +
                                "\" is not a PostgreSQL address: " + e.description());
  }
  const struct {
    const char* libpq;
    const char* site;
  } kCarried[] = {{"host", "Host"},         {"port", "Port"},         {"dbname", "Database"},
                  {"user", "User ID"},      {"password", "Password"}, {"sslmode", "SSL Mode"}};
  for (const auto& [keyword, value] : given) {
    bool carried = false;
    for (const auto& key : kCarried) carried = carried || keyword == key.libpq;
    if (!carried)
      throw std::invalid_argument("--postgres: the site's connection string cannot carry \"" +
                                  keyword + "\"; give only host, port, dbname, user, password" +
                                  " and sslmode");
  }
  std::string dns = "Provider=PostgreSQL";
  for (const auto& key : kCarried) {
    std::string value = adodb::postgres::ParamValue(given, key.libpq);
    if (!value.empty()) dns += ";" + std::string(key.site) + "=" + ConnectionValue(value);
  }
  return {dns, adodb::postgres::PgParamsFor(dns)};
}

}  // namespace tabrix::site::demo
