// Connection strings: "Key=Value;Key=Value".
//
// Keys match ignoring case ("data source" = "Data Source"); blanks around
// keys and values are dropped; a value may be quoted with " or ' (a doubled
// quote inside stands for one) to hold ";" or "=". Empty segments are
// skipped; a key given twice keeps its last value. A "postgresql://" or
// "postgres://" URI stands for Provider=PostgreSQL with the URI under "uri".
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tabrix::adodb {

class ConnectionString {
 public:
  // Parses `text`. Raises 3709 when it is empty, 3001 when a segment has
  // no "=" or a quote is left open, or when no Provider is named.
  static ConnectionString Parse(std::string_view text);

  const std::string& text() const { return text_; }
  // The text with its password hidden, for messages.
  std::string redacted_text() const;
  const std::string& provider() const { return provider_; }
  // The value of `key` (any letter case); nullopt when absent.
  std::optional<std::string> Get(std::string_view key) const;
  // Every key (in ASCII lower case, as given otherwise) and its value.
  const std::map<std::string, std::string>& values() const { return values_; }

 private:
  std::string text_;
  std::string provider_;
  std::map<std::string, std::string> values_;  // keys in ASCII lower case
};

// Whether `text`, past leading blanks, is a PostgreSQL URI: it starts with
// "postgresql://" or "postgres://" in any letter case.
bool IsPostgresUri(std::string_view text);

// Whether `parts` asks for a read-only connection: "Mode=Read" (any letter
// case). "Mode=ReadWrite" (or "Read Write") and no Mode at all ask for
// reading and writing; any other Mode raises 3001 naming the key.
bool ReadOnlyMode(const ConnectionString& parts);

// `text` with every password in it replaced by "***": the value of a
// "Password" or "Pwd" key, and the password of a URI's user part or of its
// "password=" parameter. Works on malformed text too; no message of the
// facade ever shows a connection string that did not pass through it.
std::string RedactPassword(std::string_view text);

}  // namespace tabrix::adodb
