#include "host/adodb/postgres/pg_params.h"

#include <libpq-fe.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "host/error.h"

namespace tabrix::adodb::postgres {

namespace {

// A key as it is matched: ASCII lower case, without blanks and underscores.
std::string Folded(std::string_view key) {
  std::string folded;
  for (char c : key) {
    if (c == ' ' || c == '\t' || c == '_') continue;
    folded += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return folded;
}

struct PgKey {
  const char *libpq;
  const char *shown;                // the name messages use
  std::vector<const char *> names;  // folded
};

const std::vector<PgKey> &PgKeys() {
  static const std::vector<PgKey> kPgKeys = {
      {"host", "Host", {"host", "server", "datasource"}},
      {"port", "Port", {"port"}},
      {"dbname", "Database", {"database", "initialcatalog", "dbname"}},
      {"user", "User ID", {"userid", "user", "uid", "username"}},
      {"password", "Password", {"password", "pwd"}},
      {"sslmode", "SSL Mode", {"sslmode"}},
      {"sslrootcert", "SSL Root Cert", {"sslrootcert"}},
      {"sslcert", "SSL Cert", {"sslcert"}},
      {"sslkey", "SSL Key", {"sslkey"}},
      {"connect_timeout", "Timeout", {"timeout", "connecttimeout"}},
      {"application_name", "Application Name", {"applicationname"}},
  };
  return kPgKeys;
}

[[noreturn]] void Refuse(const std::string &why) {
  RaiseError(kErrAdoArguments, "malformed PostgreSQL connection string: " + why);
}

// libpq's name of an SSL Mode written any way a person might ("Require",
// "VerifyFull", "verify-full").
std::string SslMode(const std::string &given) {
  static const char *const kModes[] = {"disable", "allow",     "prefer",
                                       "require", "verify-ca", "verify-full"};
  std::string folded;
  for (char c : Folded(given))
    if (c != '-') folded += c;
  for (const char *mode : kModes) {
    std::string plain;
    for (const char *c = mode; *c != '\0'; ++c)
      if (*c != '-') plain += *c;
    if (folded == plain) return mode;
  }
  Refuse("SSL Mode '" + given +
         "' is none of disable, allow, prefer, require, verify-ca, verify-full");
}

PgParams FromKeys(const ConnectionString &parts) {
  PgParams params;
  std::vector<std::string> given_as(PgKeys().size());
  for (const auto &[key, value] : parts.values()) {
    std::string folded = Folded(key);
    // Mode (read-only or not) is the provider's, not libpq's
    // (connection_string.h).
    if (folded == "provider" || folded == "mode") continue;
    size_t found = PgKeys().size();
    for (size_t i = 0; i < PgKeys().size() && found == PgKeys().size(); ++i)
      for (const char *name : PgKeys()[i].names)
        if (folded == name) found = i;
    if (found == PgKeys().size()) {
      std::string known;
      for (const PgKey &k : PgKeys()) known += (known.empty() ? "" : ", ") + std::string(k.shown);
      Refuse("the key '" + key + "' is not known (PostgreSQL takes Provider, " + known +
             ", Mode)");
    }
    if (!given_as[found].empty())
      Refuse("'" + given_as[found] + "' and '" + key + "' both give the " + PgKeys()[found].shown);
    given_as[found] = key;
  }
  // In the table's order, so the parameters do not depend on the spelling.
  for (size_t i = 0; i < PgKeys().size(); ++i) {
    if (given_as[i].empty()) continue;
    std::string value = *parts.Get(given_as[i]);
    if (std::string_view(PgKeys()[i].libpq) == "sslmode") value = SslMode(value);
    params.emplace_back(PgKeys()[i].libpq, value);
  }
  if (ParamValue(params, "dbname").empty()) Refuse("no Database is named");
  return params;
}

// What libpq's own messages about `text` might quote of a password: the
// password of a URI's user part or of a "password" parameter, and the
// blank-separated pieces of one.
std::vector<std::string> SecretsIn(std::string_view text) {
  std::vector<std::string> secrets;
  auto add = [&](std::string_view secret) {
    if (secret.empty()) return;
    secrets.emplace_back(secret);
    size_t start = 0;
    while (start < secret.size()) {
      size_t end = secret.find_first_of(" \t", start);
      if (end == std::string_view::npos) end = secret.size();
      if (end > start && end - start < secret.size())
        secrets.emplace_back(secret.substr(start, end - start));
      start = end + 1;
    }
  };
  size_t scheme = text.find("://");
  if (scheme != std::string_view::npos) {
    size_t authority_end = text.find_first_of("/?#", scheme + 3);
    std::string_view authority = text.substr(scheme + 3, authority_end == std::string_view::npos
                                                             ? std::string_view::npos
                                                             : authority_end - scheme - 3);
    size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
      size_t colon = authority.find(':');
      if (colon < at) add(authority.substr(colon + 1, at - colon - 1));
    }
  }
  // "password=value" anywhere (a URI's query, a keyword string): the value
  // to the next separator, or all of the rest, to be safe.
  std::string lower(text);
  for (char &c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (size_t at = lower.find("password"); at != std::string::npos;
       at = lower.find("password", at + 1)) {
    size_t equals = lower.find_first_not_of(" \t", at + 8);
    if (equals == std::string::npos || lower[equals] != '=') continue;
    size_t start = text.find_first_not_of(" \t'", equals + 1);
    if (start == std::string_view::npos) continue;
    add(text.substr(start));
    size_t end = text.find_first_of("&#' \t", start);
    add(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
  }
  return secrets;
}

std::string WithoutSecrets(std::string message, std::string_view text) {
  std::vector<std::string> secrets = SecretsIn(text);
  // Longest first, so a piece never leaves the rest of its whole behind.
  std::sort(secrets.begin(), secrets.end(),
            [](const std::string &a, const std::string &b) { return a.size() > b.size(); });
  for (const std::string &secret : secrets)
    for (size_t at = message.find(secret); at != std::string::npos;
         at = message.find(secret, at + 3))
      message.replace(at, secret.size(), "***");
  return message;
}

// A URI or keyword string, read by libpq (which knows a URI's scheme only
// in lower case).
PgParams FromLibpq(std::string_view text) {
  std::string owned(text);
  if (IsPostgresUri(owned)) {
    size_t start = owned.find_first_not_of(" \t");
    for (size_t i = start; owned[i] != ':'; ++i)
      owned[i] =
          static_cast<char>(owned[i] >= 'A' && owned[i] <= 'Z' ? owned[i] - 'A' + 'a' : owned[i]);
  }
  char *error = nullptr;
  std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption *)> options(
      PQconninfoParse(owned.c_str(), &error), &PQconninfoFree);
  if (!options) {
    std::string why = error != nullptr ? error : "out of memory";
    PQfreemem(error);
    while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
    Refuse(WithoutSecrets(why, text));
  }
  PgParams params;
  for (const PQconninfoOption *option = options.get(); option->keyword != nullptr; ++option)
    if (option->val != nullptr) params.emplace_back(option->keyword, option->val);
  return params;
}

}  // namespace

PgParams PgParamsFor(const ConnectionString &parts) {
  if (auto uri = parts.Get("uri")) return FromLibpq(*uri);
  return FromKeys(parts);
}

PgParams PgParamsFor(std::string_view text) {
  if (IsPostgresUri(text)) return FromLibpq(text);
  // A libpq keyword string names no provider; the site's form always does.
  std::optional<ConnectionString> parts;
  try {
    parts = ConnectionString::Parse(text);
  } catch (const ScriptError &) {
    return FromLibpq(text);
  }
  if (Folded(parts->provider()) != "postgresql")
    RaiseError(kErrAdoArguments, "the provider is \"" + parts->provider() + "\", not PostgreSQL");
  return PgParamsFor(*parts);
}

std::string ParamValue(const PgParams &params, std::string_view keyword) {
  for (const auto &[key, value] : params)
    if (key == keyword) return value;
  return "";
}

std::string DescribeTarget(const PgParams &params) {
  std::string described;
  for (const char *keyword : {"host", "hostaddr", "port", "dbname", "user", "sslmode"}) {
    std::string value = ParamValue(params, keyword);
    if (!value.empty())
      described += (described.empty() ? "" : " ") + std::string(keyword) + "=" + value;
  }
  return described;
}

}  // namespace tabrix::adodb::postgres
