#include "host/request.h"

#include "host/locale/locale.h"
#include "host/url.h"

namespace tabrix {

Variant Request::Lookup(const Items& items, std::string_view name, bool exact) {
  bool found = false;
  std::string joined;
  for (const auto& [key, value] : items) {
    if (exact ? key != name : !EqualsIgnoreCase(key, name)) continue;
    if (found) joined += ", ";
    joined += value;
    found = true;
  }
  if (!found) return Variant();
  return Variant(std::move(joined));
}

Variant Request::Item(std::string_view name) const {
  Variant v = Lookup(query_, name);
  if (!v.IsEmpty()) return v;
  return Lookup(form_, name);
}

Variant Request::ExactItem(std::string_view name) const {
  Variant v = Lookup(query_, name, true);
  if (!v.IsEmpty()) return v;
  return Lookup(form_, name, true);
}

Variant Request::QueryString(std::string_view name) const { return Lookup(query_, name); }
Variant Request::Form(std::string_view name) const { return Lookup(form_, name); }
Variant Request::Cookies(std::string_view name) const { return Lookup(cookies_, name); }
Variant Request::ServerVariables(std::string_view name) const {
  return Lookup(server_vars_, name);
}

void Request::SetQueryString(std::string_view raw) {
  query_ = ParseUrlEncoded(raw);
  SetServerVariable("QUERY_STRING", std::string(raw));
}

void Request::AddQueryItem(std::string name, std::string value) {
  query_.emplace_back(std::move(name), std::move(value));
}

void Request::AddFormItem(std::string name, std::string value) {
  form_.emplace_back(std::move(name), std::move(value));
}

void Request::SetFormBody(std::string_view urlencoded_body) {
  for (auto& item : ParseUrlEncoded(urlencoded_body)) form_.push_back(std::move(item));
}

void Request::AddCookie(std::string name, std::string value) {
  cookies_.emplace_back(std::move(name), std::move(value));
}

void Request::SetServerVariable(std::string name, std::string value) {
  for (auto& [key, v] : server_vars_) {
    if (EqualsIgnoreCase(key, name)) {
      v = std::move(value);
      return;
    }
  }
  server_vars_.emplace_back(std::move(name), std::move(value));
}

}  // namespace tabrix
