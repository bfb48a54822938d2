// The pieces of a request head the server checks and works out before a
// page sees it: the percent-decoded path, the raw query, the Host value,
// and the target as the access log shows it. Pure functions on text, apart
// from any socket, so they are tested and fuzzed on their own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tabrix::site {

struct SplitTarget {
  std::string path;   // percent-decoded
  std::string query;  // raw, after the first "?"; "" when none
};

// Splits an origin-form target ("/path?query") and decodes its path.
// nullopt when the target is not origin-form (it does not begin with "/",
// or carries a "#"), when a "%" is not followed by two hex digits, or when
// the decoded path holds a NUL. "+" in a path is a plus, not a space.
std::optional<SplitTarget> ParseOriginTarget(std::string_view target);

// Whether `value` is a Host header value a server accepts: a host name,
// an IPv4 address or a bracketed IPv6 literal, optionally ":" and a port
// of digits; not empty.
bool IsValidHostValue(std::string_view value);

// The target as the access log writes it: the raw path, and of the query
// only the names, each value dropped ("/Search.asp?t=&go=&p="), so what a
// visitor typed into a form never reaches the log.
std::string LoggedTarget(std::string_view target);

}  // namespace tabrix::site
