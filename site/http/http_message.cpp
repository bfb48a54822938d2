#include "site/http/http_message.h"

#include "host/locale/locale.h"

namespace tabrix::site {

namespace {

std::optional<std::string> Find(const std::vector<std::pair<std::string, std::string>>& headers,
                                std::string_view name) {
  std::optional<std::string> found;
  for (const auto& [key, value] : headers) {
    if (!EqualsIgnoreCase(key, name)) continue;
    if (found) *found += ", " + value;
    else found = value;
  }
  return found;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> CookiePairs(std::string_view header) {
  std::vector<std::pair<std::string, std::string>> pairs;
  size_t at = 0;
  while (at < header.size()) {
    size_t end = header.find(';', at);
    if (end == std::string_view::npos) end = header.size();
    std::string_view pair = header.substr(at, end - at);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    size_t equals = pair.find('=');
    if (equals != std::string_view::npos && equals > 0)
      pairs.emplace_back(std::string(pair.substr(0, equals)), std::string(pair.substr(equals + 1)));
    at = end + 1;
  }
  return pairs;
}

std::optional<std::string> HttpRequest::Header(std::string_view name) const {
  return Find(headers, name);
}

void HttpResponse::SetHeader(std::string name, std::string value) {
  std::erase_if(headers, [&](const auto& header) { return EqualsIgnoreCase(header.first, name); });
  headers.emplace_back(std::move(name), std::move(value));
}

void HttpResponse::AddHeader(std::string name, std::string value) {
  headers.emplace_back(std::move(name), std::move(value));
}

std::optional<std::string> HttpResponse::Header(std::string_view name) const {
  return Find(headers, name);
}

}  // namespace tabrix::site
