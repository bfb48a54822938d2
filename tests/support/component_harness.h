// A Tabrix1 wired to in-memory intrinsics, for tests.
//
// The harness owns a Session, a Request, a Response and a Server (site root
// given, or the current folder) and assigns them to its object, as a hosting
// page does. The Server's SQL observer records every SQL text the component
// opens.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "component/tabrix1.h"

namespace tabrix::testing {

class ComponentHarness {
 public:
  explicit ComponentHarness(std::filesystem::path site_root = std::filesystem::current_path());

  Tabrix1& object() { return object_; }
  Session& session() { return *session_; }
  Request& request() { return *request_; }
  Response& response() { return *response_; }
  Server& server() { return *server_; }
  const std::vector<std::string>& sql() const { return *sql_; }

  void Set(const std::string& key, Variant value) { session_->SetValue(key, std::move(value)); }
  // What was written since the last call.
  std::string TakeOutput() { return response_->TakeBuffer(); }

 private:
  std::shared_ptr<Session> session_;
  std::shared_ptr<Request> request_;
  std::shared_ptr<Response> response_;
  std::shared_ptr<Server> server_;
  std::shared_ptr<std::vector<std::string>> sql_;
  Tabrix1 object_;
};

}  // namespace tabrix::testing
