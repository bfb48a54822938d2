#include "site/http/request_target.h"

namespace tabrix::site {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> PercentDecode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      int high = HexDigit(text[i + 1]);
      int low = HexDigit(text[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      c = static_cast<char>(high * 16 + low);
      i += 2;
    }
    if (c == '\0') return std::nullopt;
    decoded += c;
  }
  return decoded;
}

}  // namespace

std::optional<SplitTarget> ParseOriginTarget(std::string_view target) {
  if (target.empty() || target[0] != '/') return std::nullopt;
  if (target.find('#') != std::string_view::npos) return std::nullopt;
  size_t question = target.find('?');
  std::optional<std::string> path = PercentDecode(target.substr(0, question));
  if (!path) return std::nullopt;
  SplitTarget split;
  split.path = std::move(*path);
  if (question != std::string_view::npos) split.query = std::string(target.substr(question + 1));
  return split;
}

bool IsValidHostValue(std::string_view value) {
  if (value.empty()) return false;
  std::string_view host = value;
  if (host[0] == '[') {
    size_t close = host.find(']');
    if (close == std::string_view::npos || close == 1) return false;
    for (char c : host.substr(1, close - 1))
      if (!(HexDigit(c) >= 0 || c == ':' || c == '.')) return false;
    host.remove_prefix(close + 1);
    if (host.empty()) return true;
    if (host[0] != ':') return false;
  } else {
    size_t colon = host.find(':');
    std::string_view name = host.substr(0, colon);
    if (name.empty()) return false;
    for (char c : name) {
      bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
      if (!unreserved && c != '%' && std::string_view("!$&'()*+,;=").find(c) == std::string_view::npos)
        return false;
    }
    if (colon == std::string_view::npos) return true;
    host.remove_prefix(colon);
  }
  std::string_view port = host.substr(1);  // after ":"
  for (char c : port)
    if (c < '0' || c > '9') return false;
  return port.size() <= 5;
}

std::string LoggedTarget(std::string_view target) {
  size_t question = target.find('?');
  std::string logged(target.substr(0, question));
  if (question == std::string_view::npos) return logged;
  logged += '?';
  std::string_view query = target.substr(question + 1);
  bool first = true;
  while (true) {
    size_t amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    if (!first) logged += '&';
    first = false;
    size_t eq = pair.find('=');
    logged += eq == std::string_view::npos ? pair : pair.substr(0, eq + 1);
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return logged;
}

}  // namespace tabrix::site
