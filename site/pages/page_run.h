// One run of the component for a hosting page: the Request it sees, the
// object with its four intrinsics, the menu taken out of the Response, and
// the object and its recordsets closed and released before the answer is
// built, so no read transaction stays open while a slow client reads.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "component/tabrix1.h"
#include "host/request.h"
#include "host/response.h"
#include "host/session.h"
#include "site/config.h"
#include "site/http/http_message.h"

namespace tabrix::site {

// The Request the component sees for `http`: the query string and the
// urlencoded POST body as the form, both without the items named in
// `withheld` (any case), the cookies, and the server variables (SCRIPT_NAME = `script_name`,
// QUERY_STRING, REQUEST_METHOD, HTTP_HOST, ...).
std::shared_ptr<Request> BuildComponentRequest(const HttpRequest& http,
                                               std::string_view script_name,
                                               const std::vector<std::string_view>& withheld = {});

class ComponentRun {
 public:
  // A heap-allocated component object with the session, `request`, a new
  // Response and a Server rooted at the configuration's site root.
  ComponentRun(const SiteConfig& config, std::shared_ptr<Session> session,
               std::shared_ptr<Request> request);
  ~ComponentRun();
  ComponentRun(const ComponentRun&) = delete;
  ComponentRun& operator=(const ComponentRun&) = delete;

  Tabrix1& object() { return *object_; }
  Response& response() { return *response_; }
  Session& session() { return *session_; }
  Request& request() { return *request_; }

  // Runs DatabaseMenu and returns what it wrote, taken out of the Response.
  std::string RunMenu();

  // The table the request's code "t" names in the session's menu; Empty
  // for a code the menu does not hold.
  Variant RequestedTable();

  // Closes Rs, Rs2 and every recordset in `also`, and releases the object.
  // Safe to call more than once; never throws.
  void Close(const std::vector<Variant>& also = {});

 private:
  std::shared_ptr<Session> session_;
  std::shared_ptr<Request> request_;
  std::shared_ptr<Response> response_;
  std::unique_ptr<Tabrix1> object_;
};

}  // namespace tabrix::site
