#include "site/pages/page_run.h"

#include "host/adodb/recordset.h"
#include "host/locale/locale.h"
#include "host/server.h"
#include "host/url.h"
#include "host/variant_ops.h"

namespace tabrix::site {

namespace {

// The raw query without the pieces whose decoded name is in `withheld`.
std::string QueryWithout(std::string_view raw, const std::vector<std::string_view>& withheld) {
  if (withheld.empty()) return std::string(raw);
  std::string kept;
  size_t at = 0;
  while (at <= raw.size()) {
    size_t end = raw.find('&', at);
    if (end == std::string_view::npos) end = raw.size();
    std::string_view piece = raw.substr(at, end - at);
    std::string name = UrlDecode(piece.substr(0, piece.find('=')));
    bool drop = false;
    for (std::string_view w : withheld) drop = drop || EqualsIgnoreCase(name, w);
    if (!drop && !piece.empty()) {
      if (!kept.empty()) kept += '&';
      kept += piece;
    }
    at = end + 1;
  }
  return kept;
}

bool IsUrlEncodedForm(const HttpRequest& http) {
  std::optional<std::string> type = http.Header("content-type");
  if (!type) return true;
  std::string_view media = std::string_view(*type).substr(0, type->find(';'));
  while (!media.empty() && media.back() == ' ') media.remove_suffix(1);
  return EqualsIgnoreCase(media, "application/x-www-form-urlencoded");
}

void AddCookies(const HttpRequest& http, Request& request) {
  for (auto& [name, value] : CookiePairs(http.Header("cookie").value_or("")))
    request.AddCookie(std::move(name), UrlDecode(value));
}

void CloseRecordset(const Variant& value) {
  if (!value.IsObject() || !value.object()) return;
  auto* rs = dynamic_cast<adodb::Recordset*>(value.object().get());
  if (rs == nullptr) return;
  try {
    if (rs->State() == 1) rs->Close();
  } catch (...) {
    // Releasing the recordset below gives its connection back regardless.
  }
}

}  // namespace

std::shared_ptr<Request> BuildComponentRequest(const HttpRequest& http,
                                               std::string_view script_name,
                                               const std::vector<std::string_view>& withheld) {
  auto request = std::make_shared<Request>();
  request->SetQueryString(QueryWithout(http.query, withheld));
  if (http.method == "POST" && IsUrlEncodedForm(http))
    request->SetFormBody(withheld.empty() ? http.body : QueryWithout(http.body, withheld));
  AddCookies(http, *request);
  request->SetServerVariable("SCRIPT_NAME", std::string(script_name));
  request->SetServerVariable("URL", std::string(script_name));
  request->SetServerVariable("PATH_INFO", std::string(script_name));
  request->SetServerVariable("REQUEST_METHOD", http.method);
  request->SetServerVariable("REMOTE_ADDR", http.remote_address);
  std::string host = http.Header("host").value_or("");
  request->SetServerVariable("HTTP_HOST", host);
  request->SetServerVariable("SERVER_NAME", host.substr(0, host.rfind(':')));
  if (auto referer = http.Header("referer")) request->SetServerVariable("HTTP_REFERER", *referer);
  if (auto agent = http.Header("user-agent")) request->SetServerVariable("HTTP_USER_AGENT", *agent);
  return request;
}

ComponentRun::ComponentRun(const SiteConfig& config, std::shared_ptr<Session> session,
                           std::shared_ptr<Request> request)
    : session_(std::move(session)),
      request_(std::move(request)),
      response_(std::make_shared<Response>()),
      object_(std::make_unique<Tabrix1>()) {
  // A page that writes past the bound stops there with an error (500).
  response_->set_max_bytes(static_cast<std::size_t>(config.max_page_bytes));
  object_->session = Variant(session_);
  object_->Request = Variant(request_);
  object_->Response = Variant(response_);
  object_->Server = Variant(std::make_shared<Server>(config.site_root));
}

ComponentRun::~ComponentRun() { Close(); }

Variant ComponentRun::RequestedTable() {
  return session_->Value("table_" + ConcatText(object_->Param("t")));
}

std::string ComponentRun::RunMenu() {
  object_->DatabaseMenu();
  return response_->TakeBuffer();
}

void ComponentRun::Close(const std::vector<Variant>& also) {
  for (const Variant& value : also) CloseRecordset(value);
  if (!object_) return;
  CloseRecordset(object_->Rs);
  CloseRecordset(object_->Rs2);
  object_.reset();
}

}  // namespace tabrix::site
