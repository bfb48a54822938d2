#include "support/site_client.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace tabrix::testing {

HttpReply SiteClient::Get(const std::string& target) { return Send("GET", target, ""); }

HttpReply SiteClient::Post(const std::string& target, const std::string& form_body) {
  return Send("POST", target, form_body);
}

bool SiteClient::Login(const std::string& name, const std::string& password) {
  Get("/Login.asp");
  return Post("/Login.asp", "username=" + name + "&password=" + password).status == 302;
}

std::string SiteClient::TableCode(const std::string& caption) {
  std::string home = Get("/").body;
  size_t end = home.find("&go=1\"><b>" + caption + "</b>");
  if (end == std::string::npos) return "";
  size_t start = home.rfind("Search.asp?t=", end);
  if (start == std::string::npos) return "";
  start += 13;
  return home.substr(start, end - start);
}

HttpReply SiteClient::Send(const std::string& method, const std::string& target,
                           const std::string& body) {
  HttpReply reply = SessionRequest(port_, method, target, cookie_, body);
  if (std::string cookie = SessionCookieOf(reply); !cookie.empty()) cookie_ = cookie;
  return reply;
}

}  // namespace tabrix::testing
