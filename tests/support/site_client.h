// A browser's visit to a served site, for black-box tests: it keeps the
// session cookie the site sets, sends GETs and same-origin form POSTs on
// 127.0.0.1, and finds the table codes in the menu.
#pragma once

#include <cstdint>
#include <string>

#include "support/http_test_client.h"

namespace tabrix::testing {

class SiteClient {
 public:
  explicit SiteClient(std::uint16_t port) : port_(port) {}

  // One request with the session's cookie; a cookie set by the answer is
  // kept. A request that gets no answer is a test failure (status 0).
  HttpReply Get(const std::string& target);
  HttpReply Post(const std::string& target, const std::string& form_body);

  // Opens the login page and posts the name and password; true when the
  // site logged the user in (it answers with a redirect).
  bool Login(const std::string& name, const std::string& password);

  // The code of the table whose menu entry is captioned `caption` ("" when
  // the menu has no such entry), read from the home page.
  std::string TableCode(const std::string& caption);

 private:
  HttpReply Send(const std::string& method, const std::string& target, const std::string& body);

  std::uint16_t port_;
  std::string cookie_;
};

}  // namespace tabrix::testing
