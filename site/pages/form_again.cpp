// A refused add or update keeps what was typed: the form is made again from
// the posted values (the page method run once more without "go", so it
// writes nothing), with the reason above it and beside the field it
// concerns; the update form's ticked boxes stay ticked.
#include "site/pages/form_again.h"

#include <string>
#include <string_view>

#include "host/html.h"
#include "host/url.h"
#include "host/variant_ops.h"
#include "site/pages/field_kinds.h"
#include "site/pages/layout.h"
#include "site/pages/page_run.h"

namespace tabrix::site {

namespace {

// Ticks each "Checked_" box of the update form that was ticked in the
// post (`body`, urlencoded).
void TickPostedBoxes(std::string& form, std::string_view body) {
  for (const auto& [name, value] : ParseUrlEncoded(body)) {
    if (!name.starts_with("Checked_") || value != "Yes") continue;
    std::string box = "<input type=\"checkbox\" name=\"" + HtmlEscape(name) + "\" value=\"Yes\"";
    size_t at = form.find(box);
    if (at == std::string::npos) continue;
    size_t tag_end = form.find('>', at);
    if (tag_end != std::string::npos && form.compare(tag_end - 8, 8, " checked") != 0)
      form.insert(tag_end, " checked");
  }
}

// Puts `note` at the end of the cell that holds the control of `field`
// (its own name, or its date lists' "_d"); nothing when it is not found.
void NoteBesideField(std::string& form, const std::string& field, const std::string& note) {
  if (field.empty()) return;
  std::string name = HtmlEscape(field);
  size_t at = form.find("name=\"" + name + "\"");
  if (at == std::string::npos) at = form.find("name=\"" + name + "_d\"");
  if (at == std::string::npos) return;
  size_t cell_end = form.find("</td>", at);
  if (cell_end == std::string::npos) return;
  form.insert(cell_end, note);
}

}  // namespace

std::optional<HttpResponse> FormAgainAnswer(const SiteConfig& config, Route route,
                                            const HttpRequest& request, SessionStore::Lease& lease,
                                            const ScriptError& error, const std::string& title,
                                            const std::string& menu) {
  if (route != Route::kAdd && route != Route::kUpdate) return std::nullopt;
  std::optional<RefusedWrite> refused = RefusedWriteOf(error);
  if (!refused) return std::nullopt;

  ComponentRun run(config, lease.shared_session(),
                   BuildComponentRequest(request, ScriptName(route), {"go"}));
  Tabrix1& page = run.object();
  std::string form;
  try {
    Variant table = run.RequestedTable();
    if (IsEmptyText(table)) return std::nullopt;
    if (route == Route::kAdd) {
      page.Add(table);
    } else {
      page.Update(table, page.Param("id"));
    }
    std::string field_kinds = FieldKindsScript(page, run.response().buffer());
    run.Close();
    form = run.response().buffer() + field_kinds;
    if (run.response().redirect()) return std::nullopt;
  } catch (const ScriptError&) {
    // The form itself cannot be made again: the plain answer says why.
    return std::nullopt;
  }
  if (route == Route::kUpdate) TickPostedBoxes(form, request.body);
  NoteBesideField(form, refused->field,
                  "<p class=\"field-error\">" + refused->html + "</p>");
  // The reason begins the box's sentence.
  std::string reason = refused->html;
  if (!reason.empty() && reason[0] >= 'a' && reason[0] <= 'z')
    reason[0] = static_cast<char>(reason[0] - 'a' + 'A');
  std::string box =
      ErrorBox("Not saved", reason + " Correct it below and send the form again.") + "\n";
  return HtmlAnswer(refused->status, RenderLayout({title, menu, "", box + form, title}));
}

}  // namespace tabrix::site
