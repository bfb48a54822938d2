#include "site/demo/pg_demo_target.h"

#include <libpq-fe.h>

#include <map>
#include <memory>
#include <stdexcept>

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
  char* error = nullptr;
  std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> options(
      PQconninfoParse(text.c_str(), &error), &PQconninfoFree);
  if (!options) {
    std::string why = error ? error : "out of memory";
    PQfreemem(error);
    while (!why.empty() && why.back() == '\n') why.pop_back();
    throw std::invalid_argument("--postgres \"" + text + "\" is not a PostgreSQL address: " + why);
  }
  const struct {
    const char* libpq;
    const char* site;
  } kCarried[] = {{"host", "Host"},         {"port", "Port"},         {"dbname", "Database"},
                  {"user", "User ID"},      {"password", "Password"}, {"sslmode", "SSL Mode"}};
  std::map<std::string, std::string> given;
  for (const auto* option = options.get(); option->keyword != nullptr; ++option) {
    if (option->val == nullptr) continue;
    std::string keyword = option->keyword;
    bool carried = false;
    for (const auto& key : kCarried) carried = carried || keyword == key.libpq;
    if (!carried)
      throw std::invalid_argument("--postgres: the site's connection string cannot carry \"" +
                                  keyword + "\"; give only host, port, dbname, user, password" +
                                  " and sslmode");
    given[keyword] = option->val;
  }
  std::string dns = "Provider=PostgreSQL";
  for (const auto& key : kCarried)
    if (auto found = given.find(key.libpq); found != given.end())
      dns += ";" + std::string(key.site) + "=" + ConnectionValue(found->second);
  return {dns, PgParamsFor(dns)};
}

}  // namespace tabrix::site::demo
