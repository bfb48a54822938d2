#include "support/component_harness.h"

namespace tabrix::testing {

ComponentHarness::ComponentHarness(std::filesystem::path site_root)
    : session_(std::make_shared<Session>()),
      request_(std::make_shared<Request>()),
      response_(std::make_shared<Response>()),
      server_(std::make_shared<Server>(std::move(site_root))),
      sql_(std::make_shared<std::vector<std::string>>()) {
  server_->set_sql_observer([log = sql_](const std::string& sql) { log->push_back(sql); });
  object_.session = Variant(session_);
  object_.Request = Variant(request_);
  object_.Response = Variant(response_);
  object_.Server = Variant(server_);
}

}  // namespace tabrix::testing
