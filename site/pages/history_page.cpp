// The history page: what was done to one record, by whom and when, as the
// change history recorded it.
#include <string>
#include <vector>

#include "host/adodb/connection.h"
#include "host/html.h"
#include "host/variant_ops.h"
#include "site/history/history_log.h"
#include "site/pages/answers.h"
#include "site/pages/hosting_pages.h"
#include "site/pages/layout.h"
#include "site/pages/page_run.h"

namespace tabrix::site {

namespace {

std::string ValueText(const Json& value) {
  if (value.is_null()) return "";
  if (value.is_string()) return value.get<std::string>();
  return DumpJson(value);
}

// One line per field the viewer may see: an update's changed fields as
// before -> after, an add's or a delete's every field.
std::string ChangesHtml(Tabrix1& page, const Variant& table, const history::Entry& entry) {
  const Json& fields = entry.after.is_object() ? entry.after : entry.before;
  if (!fields.is_object()) return "";
  std::string items;
  for (const auto& item : fields.items()) {
    const std::string& name = item.key();
    if (!ToBool(page.YetkiKontrolField(table, Variant(name), Variant("V")))) continue;
    bool has_before = entry.before.is_object() && entry.before.contains(name);
    bool has_after = entry.after.is_object() && entry.after.contains(name);
    std::string before = has_before ? ValueText(entry.before.at(name)) : "";
    std::string after = has_after ? ValueText(entry.after.at(name)) : "";
    if (has_before && has_after && entry.before.at(name) == entry.after.at(name)) continue;
    items += "<li><b>" + HtmlEscape(name) + "</b>: ";
    if (has_before) items += "<del>" + HtmlEscape(before) + "</del>";
    if (has_before && has_after) items += " &rarr; ";
    if (has_after) items += "<ins>" + HtmlEscape(after) + "</ins>";
    items += "</li>";
  }
  return items.empty() ? "" : "<ul>" + items + "</ul>";
}

std::string HistoryHtml(Tabrix1& page, const Variant& table, const std::string& address,
                        const std::vector<history::Entry>& entries, bool more) {
  std::string html = "<div class=\"history\"><h2>History of " +
                     HtmlEscape(ConcatText(table)) + " " + HtmlEscape(address) + "</h2>";
  if (entries.empty()) return html + "<p>No change of this record has been recorded.</p></div>";
  if (more)
    html += "<p class=\"history-note\">The latest " + std::to_string(history::kPageRows) +
            " changes are shown; older ones are not.</p>";
  html += "<table class=\"history\"><tr><th>When (UTC)</th><th>Who</th><th>What</th>"
          "<th>Fields</th></tr>";
  for (const history::Entry& entry : entries)
    html += "<tr><td>" + HtmlEscape(entry.at) + "</td><td>" + HtmlEscape(entry.user) +
            "</td><td>" + HtmlEscape(entry.action) + "</td><td>" +
            ChangesHtml(page, table, entry) + "</td></tr>";
  return html + "</table></div>";
}

}  // namespace

HttpResponse ServeHistoryPage(const SiteContext& site, const HttpRequest& request,
                              SessionStore::Lease& lease) {
  Session& session = lease.session();
  if (!IsLoggedIn(session)) return RedirectAnswer("Login.asp");
  std::shared_ptr<void> scope = site.guards.page_scope();
  ComponentRun run(site.config, lease.shared_session(),
                   BuildComponentRequest(request, ScriptName(Route::kHistory)));
  Tabrix1& page = run.object();
  std::string menu;
  std::string body;
  try {
    menu = run.RunMenu();
    Variant table = run.RequestedTable();
    if (!site.config.history || IsEmptyText(table)) {
      run.Close();
      return NotFoundAnswer(menu);
    }
    if (!ToBool(page.YetkiKontrol(table, Variant("H")))) {
      run.Close();
      return RefusedAnswer("You may not see the history of the records of \"" +
                               ConcatText(table) + "\".",
                           menu);
    }
    std::string address = ConcatText(page.Param("id"));
    std::string set_dns = SessionDatabase(site.config);
    auto connection = adodb::NewConnection();
    connection->Open(Variant(set_dns));
    std::vector<history::Entry> entries =
        history::ReadEntries(*connection, history::IsPostgres(set_dns), ConcatText(table), address,
                             history::kPageRows + 1);
    connection->Close();
    bool more = static_cast<std::int64_t>(entries.size()) > history::kPageRows;
    if (more) entries.pop_back();
    body = HistoryHtml(page, table, address, entries, more);
    run.Close();
  } catch (const ScriptError& error) {
    run.Close();
    return ErrorAnswer(error, menu);
  }
  return HtmlAnswer(200, RenderLayout({"History", menu, TakeMessage(session), body, "History"}));
}

}  // namespace tabrix::site
