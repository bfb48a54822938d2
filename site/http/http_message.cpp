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
