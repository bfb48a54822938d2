// What one logged-in session costs the memory store: logs in N times on the
// site of a configuration (each login a session of its own, whose home page
// is seen so the menu fills it as a visit does) and prints the heap bytes
// held per session (mallinfo2), next to the heap the same number of
// requests without a cookie leave behind; and, for comparison, what a copy
// of the configuration's settings in every session would hold.
//
//   session_cost_bench SITE_TOML [N]      (N defaults to 2000)
//
// User 1's password is replaced by a plain one in memory, so the logins
// measure the session and not the password hash.
#include <malloc.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "host/locale/locale.h"
#include "site/config.h"
#include "site/pages/site_handler.h"

using namespace tabrix;
using namespace tabrix::site;

namespace {

HttpRequest Request(const std::string& method, const std::string& target,
                    const std::string& cookie, const std::string& body = "") {
  HttpRequest request;
  request.method = method;
  request.target = request.path = target;
  request.headers.emplace_back("host", "127.0.0.1:8080");
  if (method == "POST") {
    request.headers.emplace_back("origin", "http://127.0.0.1:8080");
    request.headers.emplace_back("content-type", "application/x-www-form-urlencoded");
  }
  if (!cookie.empty()) request.headers.emplace_back("cookie", cookie);
  request.remote_address = "127.0.0.1";
  request.body = body;
  return request;
}

std::size_t HeapInUse() {
  malloc_trim(0);
  return mallinfo2().uordblks;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: session_cost_bench SITE_TOML [N]\n";
    return 2;
  }
  int n = argc > 2 ? std::stoi(argv[2]) : 2000;
  SiteConfig config = LoadConfig(argv[1]);
  std::string user;
  for (auto& [key, value] : config.session) {
    if (EqualsIgnoreCase(key, "set_user1_password")) value = Variant("bench");
    if (EqualsIgnoreCase(key, "set_user1_username")) user = value.string();
  }
  ApplyProcessSettings(&config, std::nullopt);
  SiteHandler handler(config);
  std::string login = "username=" + user + "&password=bench";

  auto visit_logged_in = [&] {
    HttpResponse answer = handler.Handle(Request("POST", "/Login.asp", "", login));
    std::string cookie = answer.Header("set-cookie").value_or("");
    cookie = cookie.substr(0, cookie.find(';'));
    if (answer.status != 302 || cookie.empty()) return false;
    return handler.Handle(Request("GET", "/", cookie)).status == 200;
  };
  auto visit_without_cookie = [&] {
    handler.Handle(Request("GET", "/Login.asp", ""));
    handler.Handle(Request("GET", "/", ""));
    handler.Handle(Request("POST", "/Login.asp", "", "username=nobody&password=x"));
  };

  for (int i = 0; i < 20; ++i) visit_without_cookie();
  std::size_t start = HeapInUse();
  for (int i = 0; i < n; ++i) visit_without_cookie();
  std::size_t after_anonymous = HeapInUse();
  for (int i = 0; i < 5; ++i) visit_logged_in();  // the caches of the first page
  std::size_t before = HeapInUse();
  int kept = 0;
  for (int i = 0; i < n; ++i) kept += visit_logged_in() ? 1 : 0;
  std::size_t after = HeapInUse();
  std::size_t before_copies = HeapInUse();
  {
    constexpr int kCopies = 200;
    std::vector<std::shared_ptr<Session>> copies;
    for (int i = 0; i < kCopies; ++i) {
      auto copy = std::make_shared<Session>();
      for (const auto& [key, value] : config.session) copy->SetValue(key, value);
      copies.push_back(std::move(copy));
    }
    std::cout << "a copy of the settings: " << (HeapInUse() - before_copies) / kCopies
              << " heap bytes\n";
  }
  std::cout << 3 * n << " requests without a cookie: heap "
            << static_cast<long long>(after_anonymous - start) << " bytes more\n"
            << kept << " logged-in sessions: " << (after - before) / (kept > 0 ? kept : 1)
            << " heap bytes a session\n";
  return kept == n ? 0 : 1;
}
