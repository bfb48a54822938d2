#include "site/pages/site_handler.h"

namespace tabrix::site {

// The pages come with the hosting pages; until then every path is unknown.
struct SiteHandler::State {
  SiteConfig config;
};

SiteHandler::SiteHandler(SiteConfig config)
    : state_(std::make_unique<State>(State{std::move(config)})) {}

SiteHandler::~SiteHandler() = default;

HttpResponse SiteHandler::Handle(const HttpRequest&) {
  HttpResponse response;
  response.status = 404;
  response.SetHeader("Content-Type", "text/plain; charset=utf-8");
  response.body = "Not Found\n";
  return response;
}

}  // namespace tabrix::site
