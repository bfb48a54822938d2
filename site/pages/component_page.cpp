// The pages that run a component page method: Search, Info, Add, Update
// and Action.
#include <charconv>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "host/adodb/field.h"
#include "host/adodb/recordset.h"
#include "host/adodb/write_observer.h"
#include "host/html.h"
#include "host/variant_ops.h"
#include "site/pages/answers.h"
#include "site/history/history_log.h"
#include "site/pages/bulk_actions.h"
#include "site/pages/export_page.h"
#include "site/pages/field_kinds.h"
#include "site/pages/form_again.h"
#include "site/pages/hosting_pages.h"
#include "site/pages/layout.h"
#include "site/pages/list_return.h"
#include "site/pages/page_run.h"
#include "site/pages/referring_rows.h"

namespace tabrix::site {

namespace {

// The items that make a page change data, withheld from a GET.
std::vector<std::string_view> WriteItems(Route route) {
  if (route == Route::kAdd || route == Route::kUpdate) return {"go"};
  if (route == Route::kAction) return {"onay"};
  return {};
}

std::string_view PageTitle(Route route) {
  switch (route) {
    case Route::kSearch: return "List";
    case Route::kInfo: return "Record";
    case Route::kAdd: return "Add";
    case Route::kUpdate: return "Update";
    case Route::kAction: return "Action";
    default: return "";
  }
}

// An answer that is only the component's location script (the add and
// update pages lead the browser to the record this way).
bool IsLocationScript(std::string_view body) {
  size_t start = body.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return false;
  body.remove_prefix(start);
  return body.starts_with("<script") && body.find("window.location.href=") != std::string_view::npos;
}

// The configured action of request "a"; 5 when there is none.
const BulkAction& ConfiguredAction(const SiteConfig& config, const Variant& number) {
  std::string text = ConcatText(number);
  long long n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  auto it = config.actions.end();
  if (ec == std::errc() && end == text.data() + text.size()) it = config.actions.find(n);
  if (it == config.actions.end())
    RaiseRequestError(kErrInvalidArgument, "the action \"" + text + "\" is not configured");
  return it->second;
}

// A set action writes fields: each must be one the user may update, in a
// table they may update, before anything is written.
void RequireMayWrite(Tabrix1& page, const BulkAction& action) {
  if (action.kind != BulkAction::Kind::kSet) return;
  const Variant& table = page.CurrentTable;
  if (!ToBool(page.YetkiKontrol(table, Variant("U"))))
    RaiseRefusal("you may not change records of \"" + ConcatText(table) +
                 "\", so the action changed nothing");
  for (const auto& [field, value] : action.values) {
    if (!ToBool(page.YetkiKontrolField(table, Variant(field), Variant("U"))))
      RaiseRefusal("you may not change the field \"" + field + "\", so the action changed nothing");
    // A configured text a number, money or yes/no field cannot take is
    // refused before anything is written, never stored as 0 or as text.
    long type = static_cast<long>(ToLong(page.GetFieldType(Variant(field))));
    bool numeric = type == adodb::kSmallInt || type == adodb::kInteger || type == adodb::kBigInt ||
                   type == adodb::kSingle || type == adodb::kDouble || type == adodb::kCurrency ||
                   type == adodb::kDecimal || type == adodb::kNumeric ||
                   type == adodb::kUnsignedTinyInt || type == adodb::kBoolean;
    if (numeric && value.IsString() && !IsNumeric(value))
      RaiseError(kErrTypeMismatch, "the action sets the field '" + field + "' to \"" +
                                       value.string() + "\", which it cannot hold");
  }
}

// A file name for the download: the table's name, letters and digits only.
std::string DownloadName(const std::string& table) {
  std::string name;
  for (char c : table)
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
        c == '-')
      name += c;
  return (name.empty() ? "records" : name) + ".csv";
}

HttpResponse CsvAnswer(std::string csv, const std::string& table) {
  HttpResponse response;
  response.SetHeader("Content-Type", "text/csv; charset=utf-8");
  response.SetHeader("Content-Disposition", "attachment; filename=\"" + DownloadName(table) + "\"");
  response.SetHeader("Cache-Control", "no-store");
  response.SetHeader("X-Content-Type-Options", "nosniff");
  response.body = std::move(csv);
  return response;
}

adodb::Recordset* RecordsetOf(const Variant& value) {
  if (!value.IsObject() || !value.object()) return nullptr;
  return dynamic_cast<adodb::Recordset*>(value.object().get());
}

// The name a bulk action's changes are recorded under: its caption in
// set_actionN, else what it does.
std::string ActionName(const Session& session, const Variant& number, const BulkAction& action) {
  std::string caption = ConcatText(session.Value("set_action" + ConcatText(number)));
  caption = caption.substr(0, caption.find(','));
  if (!caption.empty()) return caption;
  return action.kind == BulkAction::Kind::kDelete ? "delete" : "set";
}

// The record page's link to the record's history.
std::string HistoryLink(Tabrix1& page, const Variant& id) {
  Server& server = page.ServerObject();
  std::string href = "History.asp?t=" + server.URLEncode(ConcatText(page.Param("t"))) +
                     "&id=" + server.URLEncode(ConcatText(id));
  return "<p class=\"history-link\"><a href=\"" + HtmlEscape(href) + "\">History</a></p>";
}

}  // namespace

HttpResponse ServeComponentPage(const SiteContext& site, Route route, const HttpRequest& request,
                                SessionStore::Lease& lease) {
  Session& session = lease.session();
  if (!IsLoggedIn(session)) return RedirectAnswer("Login.asp");
  bool post = request.method == "POST";
  std::vector<std::string_view> withheld = post ? std::vector<std::string_view>{} : WriteItems(route);

  std::shared_ptr<void> scope = site.guards.page_scope();
  // Every row the page writes is recorded in the write's own transaction.
  std::string set_dns = site.config.history ? SessionDatabase(site.config) : std::string();
  bool postgres = site.config.history && history::IsPostgres(set_dns);
  std::optional<history::Recorder> recorder;
  if (site.config.history) {
    recorder.emplace(ConcatText(session.Value("set_user" + ConcatText(session.Value("UserId")) +
                                              "_username")),
                     postgres);
  }
  adodb::ScopedWriteObserver recording(recorder ? &*recorder : nullptr);
  ComponentRun run(site.config, lease.shared_session(),
                   BuildComponentRequest(request, ScriptName(route), withheld));
  Tabrix1& page = run.object();
  Variant message_before = session.Value("msg");
  std::string menu;
  std::string title(PageTitle(route));
  std::string referring;  // the record page's list of rows that refer to it
  std::string history_link;
  std::string field_kinds;  // what the site's script needs to know of the fields
  std::string list_return;  // after a bulk action: the way back to its list
  std::string export_links;  // the list page's links to export its whole result
  try {
    menu = run.RunMenu();
    Variant table = run.RequestedTable();
    if (IsEmptyText(table)) {
      run.Close();
      return NotFoundAnswer(menu);
    }
    Variant result;
    switch (route) {
      case Route::kSearch:
        page.Search(table);
        // Beside the component's output, never inside it.
        export_links = ExportLinks(site.config, page, request);
        break;
      case Route::kInfo:
        page.Info(table, page.Param("id"));
        if (site.config.history && ToBool(page.YetkiKontrol(table, Variant("H"))))
          history_link = HistoryLink(page, page.Param("id"));
        if (site.config.referring_keys)
          referring = ReferringRowsHtml(page, *site.config.referring_keys, page.Param("id"));
        break;
      case Route::kAdd: page.Add(table); break;
      case Route::kUpdate: page.Update(table, page.Param("id")); break;
      case Route::kAction: {
        Variant number = page.Param("a");
        result = page.Action(table, number);
        adodb::Recordset* rs = RecordsetOf(result);
        bool confirmed = post && ConcatText(page.Param("onay")) == "1";
        if (confirmed && rs != nullptr && rs->State() == 1 && !rs->Eof()) {
          const BulkAction& action = ConfiguredAction(site.config, number);
          if (action.kind == BulkAction::Kind::kExport) {
            std::string csv = ExportCsv(page, *rs);
            // The download is its own answer: the message waits for no page.
            session.SetValue("msg", message_before);
            run.Close({result});
            return CsvAnswer(std::move(csv), ConcatText(table));
          }
          RequireMayWrite(page, action);
          if (recorder) recorder->set_action(ActionName(session, number, action));
          ApplyChangeAction(action, *rs);
          list_return = ListReturnLink(request.Header("referer"), ConcatText(page.Param("t")));
        }
        break;
      }
      default: break;
    }
    if (!IsEmptyText(page.TableCaption)) title = ConcatText(page.TableCaption);
    if (route == Route::kSearch || route == Route::kAdd || route == Route::kUpdate)
      field_kinds = FieldKindsScript(page, run.response().buffer());
    run.Close({result});
  } catch (const ScriptError& error) {
    // An action that failed did not happen: its message goes too.
    if (route == Route::kAction) session.SetValue("msg", message_before);
    if (!IsEmptyText(page.TableCaption)) title = ConcatText(page.TableCaption);
    bool sent = post && !IsEmptyText(page.Param("go"));
    run.Close();
    // The Response refuses output past max_page_bytes while the page writes.
    if (error.number() == kErrOutOfMemory) return PageTooLargeAnswer(menu);
    if (sent) {
      if (auto again = FormAgainAnswer(site.config, route, request, lease, error, title, menu)) {
        std::cerr << "tabrix: page error " << error.number() << ": " << error.description()
                  << " (the form was shown again)\n";
        return std::move(*again);
      }
    }
    return ErrorAnswer(error, menu);
  }

  if (site.config.history)
    history::DropOldHourly(set_dns, postgres, site.config.history_days);

  Response& output = run.response();
  // A redirect or a location script leads to another page: "msg" is kept
  // for it.
  if (output.redirect()) return RedirectAnswer(*output.redirect());
  if (IsLocationScript(output.buffer())) return HtmlAnswer(200, output.buffer());
  std::string body =
      output.buffer() + export_links + history_link + referring + list_return + field_kinds;
  return HtmlAnswer(200, RenderLayout({title, menu, TakeMessage(session), body, title}));
}

}  // namespace tabrix::site
