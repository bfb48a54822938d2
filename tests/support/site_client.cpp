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
  std::vector<std::string> headers;
  if (!cookie_.empty()) headers.push_back("Cookie: tabrix_session=" + cookie_);
  if (method == "POST") {
    headers.push_back("Content-Type: application/x-www-form-urlencoded");
    headers.push_back("Origin: http://127.0.0.1");
  }
  std::optional<HttpReply> reply = Exchange(port_, MakeRequest(method, target, headers, body));
  EXPECT_TRUE(reply.has_value()) << method << " " << target;
  if (!reply) return HttpReply{};
  std::string set = reply->Header("set-cookie").value_or("");
  size_t at = set.find("tabrix_session=");
  if (at != std::string::npos) cookie_ = set.substr(at + 15, set.find(';', at) - at - 15);
  return *reply;
}

}  // namespace tabrix::testing
