// Drives the site in process: a SiteHandler over a small database of the
// engine under test, with three users (one who may do everything, one who
// may only view, one who may see no table), requests built as the server
// would parse them, and the rows of a table read back through the facade.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/adodb/recordset.h"
#include "host/url.h"
#include "host/variant_ops.h"
#include "site/config.h"
#include "site/pages/site_handler.h"
#include "support/test_database.h"

namespace tabrix::site::testing {

namespace fs = std::filesystem;

inline constexpr const char* kSchema = R"sql(
  CREATE TABLE Orders (OrderId INTEGER PRIMARY KEY, Customer TEXT, Amount INTEGER);
  INSERT INTO Orders VALUES (1, 'Ada', 10);
  INSERT INTO Orders VALUES (2, '=cmd', -5);
  INSERT INTO Orders VALUES (3, 'Bo, "B"', 7);
)sql";

inline constexpr const char* kHost = "127.0.0.1:8080";
inline constexpr const char* kOrigin = "http://127.0.0.1:8080";

class SiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = std::make_unique<tabrix::testing::TestDatabase>(kSchema);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("tabrix_site_" + std::string(test->name()) + "_" + std::to_string(getpid()));
    fs::create_directories(dir_ / "www");
    config_ = ParseConfig(ConfigText(ExtraSession()), dir_ / "site.toml");
    ApplyProcessSettings(&config_, std::nullopt);
    handler_ = std::make_unique<SiteHandler>(config_);
  }
  void TearDown() override {
    handler_.reset();
    fs::remove_all(dir_);
  }

  // Session settings a suite adds to every configuration it starts with.
  virtual std::string ExtraSession() const { return ""; }
  // The tables the first user ("ada") may reach, and with which letters.
  virtual std::string AdaTables() const { return "Orders[VAUDXE]"; }

  std::string ConfigText(const std::string& extra_session = "") const {
    return "site_root = \"www\"\n"
           "[session]\n"
           "set_dns = '" + db_->connection_string() + "'\n"
           "set_encryptkey = \"k3y\"\n"
           "set_user1_username = \"ada\"\nset_user1_password = \"pw1\"\n"
           "set_user1_name = \"Ada\"\nset_user1_CanTable = \"" + AdaTables() + "\"\n"
           "set_user2_username = \"bob\"\nset_user2_password = \"pw2\"\n"
           "set_user2_name = \"Bob\"\nset_user2_CanTable = \"Orders[V]\"\n"
           "set_user3_username = \"cy\"\nset_user3_password = \"pw3\"\n"
           "set_user3_name = \"Cy\"\nset_user3_CanTable = \"Other[V]\"\n"
           "set_action1 = \"Delete,D,ALL\"\n"
           "set_action2 = \"Close,X,ALL\"\n"
           "set_action3 = \"Export,E,ALL\"\n" +
           extra_session +
           "[actions.1]\ndo = \"delete\"\n"
           "[actions.2]\ndo = \"set\"\nvalues = { Customer = \"closed\" }\n"
           "[actions.3]\ndo = \"export\"\n";
  }

  // A request as the server hands it over: `target` is path and query.
  static HttpRequest Request(const std::string& method, const std::string& target,
                             const std::string& cookie) {
    HttpRequest request;
    request.method = method;
    request.target = target;
    size_t q = target.find('?');
    request.path = UrlDecode(target.substr(0, q));
    request.query = q == std::string::npos ? "" : target.substr(q + 1);
    request.headers.emplace_back("host", kHost);
    if (!cookie.empty()) request.headers.emplace_back("cookie", cookie);
    request.remote_address = "127.0.0.1";
    return request;
  }

  HttpResponse Get(const std::string& target, const std::string& cookie = "") {
    return handler_->Handle(Request("GET", target, cookie));
  }
  // A POST of the urlencoded `body`, from the site's own origin unless
  // `origin` says otherwise ("" sends no Origin).
  HttpResponse Post(const std::string& target, const std::string& body,
                    const std::string& cookie = "", const std::string& origin = kOrigin) {
    HttpRequest request = Request("POST", target, cookie);
    request.headers.emplace_back("content-type", "application/x-www-form-urlencoded");
    if (!origin.empty()) request.headers.emplace_back("origin", origin);
    request.body = body;
    return handler_->Handle(request);
  }

  // "tabrix_session=<id>" of a Set-Cookie header; "" when none.
  static std::string CookieOf(const HttpResponse& response) {
    std::string header = response.Header("set-cookie").value_or("");
    return header.substr(0, header.find(';'));
  }

  // Logs `user` in; the session cookie of the logged-in session.
  std::string Login(const std::string& user, const std::string& password) {
    HttpResponse response = Post("/Login.asp", "username=" + user + "&password=" + password);
    EXPECT_EQ(response.status, 302) << response.body;
    return CookieOf(response);
  }

  // The table code of Orders, as the menu links to it.
  std::string OrdersCode(const std::string& cookie) {
    std::string body = Get("/", cookie).body;
    size_t at = body.find("Search.asp?t=");
    if (at == std::string::npos) return "";
    at += 13;
    return body.substr(at, body.find('&', at) - at);
  }

  // The rows of Orders by key: "id|Customer|Amount".
  std::vector<std::string> Orders() {
    auto rs = adodb::NewRecordset();
    rs->Open(Variant("select OrderId, Customer, Amount from Orders order by OrderId"),
             Variant(db_->connection_string()), Variant(3), Variant(1));
    std::vector<std::string> rows;
    for (int guard = 0; !rs->Eof() && guard < 1000; ++guard, rs->MoveNext())
      rows.push_back(ConcatText(rs->Value(Variant(0))) + "|" + ConcatText(rs->Value(Variant(1))) +
                     "|" + ConcatText(rs->Value(Variant(2))));
    rs->Close();
    return rows;
  }

  std::unique_ptr<tabrix::testing::TestDatabase> db_;
  fs::path dir_;
  SiteConfig config_;
  std::unique_ptr<SiteHandler> handler_;
};

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

inline size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace tabrix::site::testing
