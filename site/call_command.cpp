#include "site/call_command.h"

#include <string_view>

#include "component/member_table.h"
#include "component/tabrix1.h"
#include "host/clock.h"
#include "host/locale/locale.h"
#include "host/response.h"
#include "host/server.h"
#include "host/session.h"
#include "host/url.h"

namespace tabrix::site {

namespace fs = std::filesystem;

namespace {

// The members shown after the calls: the state a page leaves in the object.
struct ReportedMember {
  std::string_view name;
  Variant Tabrix1::*member;
};
constexpr ReportedMember kReportedMembers[] = {
    {"CurrentTable", &Tabrix1::CurrentTable},
    {"TableCaption", &Tabrix1::TableCaption},
    {"IdField", &Tabrix1::IdField},
    {"TitleField", &Tabrix1::TitleField},
    {"ListFields", &Tabrix1::ListFields},
    {"SearchFields", &Tabrix1::SearchFields},
    {"ActionList", &Tabrix1::ActionList},
    {"FieldCount", &Tabrix1::FieldCount},
    {"PageCaption", &Tabrix1::PageCaption},
    {"CaptionAppend", &Tabrix1::CaptionAppend},
    {"BackLink", &Tabrix1::BackLink},
    {"LeftMenuStr", &Tabrix1::LeftMenuStr},
    {"TableCount", &Tabrix1::TableCount},
    {"LinkCount", &Tabrix1::LinkCount},
};

// "NAME=TEXT" split at the first "="; the name may not be empty.
std::pair<std::string, std::string> SplitAssignment(const std::string& option,
                                                    const std::string& word) {
  size_t eq = word.find('=');
  if (eq == std::string::npos || eq == 0)
    throw UsageError(option + " takes NAME=VALUE, not \"" + word + "\"");
  return {word.substr(0, eq), word.substr(eq + 1)};
}

Variant ParseValue(const std::string& context, const std::string& text) {
  try {
    return VariantFromText(text);
  } catch (const VariantJsonError& e) {
    throw UsageError(context + ": " + e.what());
  }
}

bool IsOption(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

// The query string --param items make: each side encoded, pairs joined by "&".
std::string EncodeQuery(const Request::Items& items) {
  std::string query;
  for (const auto& [name, value] : items) {
    if (!query.empty()) query += '&';
    query += UrlEncode(name) + "=" + UrlEncode(value);
  }
  return query;
}

}  // namespace

const std::string& OptionValue(const std::vector<std::string>& words, size_t& i) {
  if (i + 1 >= words.size()) throw UsageError(words[i] + " needs a value");
  return words[++i];
}

CallOptions ParseCallArguments(const std::vector<std::string>& words) {
  CallOptions options;
  size_t i = 0;
  auto value_of = [&](const std::string&) -> const std::string& { return OptionValue(words, i); };
  for (; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--help" || word == "-h") {
      options.help = true;
      return options;
    }
    if (word == "--config") {
      if (options.config_file) throw UsageError("--config is given twice");
      options.config_file = value_of(word);
    } else if (word == "--locale") {
      if (options.locale) throw UsageError("--locale is given twice");
      options.locale = value_of(word);
    } else if (word == "--now") {
      const std::string& text = value_of(word);
      try {
        options.now = ParseInvariantDate(text);
      } catch (const VariantJsonError& e) {
        throw UsageError(std::string("--now: ") + e.what());
      }
    } else if (word == "--set") {
      auto [key, text] = SplitAssignment(word, value_of(word));
      options.session_values.emplace_back(std::move(key), Variant(std::move(text)));
    } else if (word == "--setjson") {
      auto [key, text] = SplitAssignment(word, value_of(word));
      Variant value = ParseValue("--setjson " + key, text);
      options.session_values.emplace_back(std::move(key), std::move(value));
    } else if (word == "--param") {
      options.params.push_back(SplitAssignment(word, value_of(word)));
    } else if (word == "--form") {
      options.form.push_back(SplitAssignment(word, value_of(word)));
    } else if (word == "--server-var") {
      options.server_vars.push_back(SplitAssignment(word, value_of(word)));
    } else if (word == "--then") {
      throw UsageError("--then comes after a MEMBER");
    } else if (IsOption(word)) {
      throw UsageError("unknown option " + word);
    } else {
      break;
    }
  }
  if (i == words.size()) throw UsageError("no MEMBER to call");
  while (i < words.size()) {
    MemberCall call{words[i++], {}};
    if (call.member.empty() || IsOption(call.member))
      throw UsageError("expected a MEMBER, not \"" + call.member + "\"");
    for (; i < words.size() && words[i] != "--then"; ++i)
      call.args.push_back(ParseValue("an argument of " + call.member, words[i]));
    options.calls.push_back(std::move(call));
    if (i < words.size() && ++i == words.size()) throw UsageError("--then needs a MEMBER");
  }
  return options;
}

std::shared_ptr<Request> BuildRequest(const CallOptions& options) {
  auto request = std::make_shared<Request>();
  std::string query = EncodeQuery(options.params);
  request->SetServerVariable("SCRIPT_NAME", "/tabrix");
  for (const auto& [name, value] : options.server_vars) {
    if (EqualsIgnoreCase(name, "QUERY_STRING")) query = value;
    request->SetServerVariable(name, value);
  }
  // The query items always come from QUERY_STRING, so the two agree.
  request->SetQueryString(query);
  for (const auto& [name, value] : options.form) request->AddFormItem(name, value);
  return request;
}

Json RunCalls(const CallOptions& options, const SiteConfig* config, bool* failed) {
  // The report's session shows the site's settings and what the run set.
  auto session = std::make_shared<Session>(config != nullptr ? SiteSettings(*config) : nullptr);
  for (const auto& [key, value] : options.session_values) session->SetValue(key, value);
  auto request = BuildRequest(options);
  auto response = std::make_shared<Response>();
  auto server =
      std::make_shared<Server>(config != nullptr ? config->site_root : fs::current_path());
  auto sql = std::make_shared<std::vector<std::string>>();
  server->set_sql_observer([sql](const std::string& text) { sql->push_back(text); });

  Tabrix1 object;
  object.session = Variant(session);
  object.Request = Variant(request);
  object.Response = Variant(response);
  object.Server = Variant(server);

  Json calls = Json::array();
  Json error = nullptr;
  *failed = false;
  for (const MemberCall& call : options.calls) {
    const MemberInfo* info = FindMember(call.member);
    std::string name = info != nullptr ? std::string(info->name) : call.member;
    std::vector<Variant> args = call.args;
    Variant result;
    try {
      result = CallMember(object, call.member, args);
    } catch (const ScriptError& e) {
      error = {{"member", name}, {"number", e.number()}, {"description", e.description()}};
    } catch (const std::exception& e) {
      // A fault of our own, not of the script: reported as the runtime's
      // "Internal error" so the report still says which call failed.
      error = {{"member", name},
               {"number", 51},
               {"description", std::string("Internal error: ") + e.what()}};
    }
    Json shown_args = Json::array();
    for (const Variant& arg : args) shown_args.push_back(VariantToJson(arg));
    calls.push_back({{"member", name},
                     {"result", VariantToJson(result)},
                     {"args", std::move(shown_args)},
                     {"output", response->TakeBuffer()}});
    if (!error.is_null()) {
      *failed = true;
      break;
    }
  }

  Json session_json = Json::object();
  for (const auto& [key, value] : session->Entries()) session_json[key] = VariantToJson(value);
  Json members = Json::object();
  for (const ReportedMember& shown : kReportedMembers)
    members[std::string(shown.name)] = VariantToJson(object.*shown.member);

  Json report;
  report["calls"] = std::move(calls);
  report["error"] = std::move(error);
  report["redirect"] = response->redirect() ? Json(*response->redirect()) : Json(nullptr);
  report["sql"] = *sql;
  report["session"] = std::move(session_json);
  report["members"] = std::move(members);
  return report;
}

int RunCallCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  CallOptions options;
  std::optional<SiteConfig> config;
  try {
    options = ParseCallArguments(words);
    if (options.help) {
      out << CallUsage();
      return 0;
    }
    if (options.config_file) config = LoadConfig(*options.config_file);
    ApplyProcessSettings(config ? &*config : nullptr, options.locale);
    if (options.now) SetFixedNow(options.now);
  } catch (const UsageError& e) {
    err << "tabrix call: " << e.what() << "\nTry 'tabrix call --help'.\n";
    return 2;
  } catch (const ConfigError& e) {
    err << "tabrix call: " << e.what() << "\n";
    return 2;
  }
  bool failed = false;
  Json report = RunCalls(options, config ? &*config : nullptr, &failed);
  out << DumpJson(report) << '\n';
  out.flush();
  return failed ? 1 : 0;
}

std::string CallUsage() {
  return R"(Usage: tabrix call [OPTION]... MEMBER [ARG]... [--then MEMBER [ARG]...]...

Creates one component object with a fresh session, request, response and
server, calls each MEMBER with its ARGs on it in order (stopping at the first
error) and prints one JSON report: each call's result, arguments and output,
the error, the redirect, the SQL run, the session and the object's members.

Options (before the first MEMBER):
  --config FILE         site configuration (TOML): session settings, locale,
                        site root, base folder of a relative Data Source
  --locale TAG          regional settings (default: the configuration's, or en-US)
  --set KEY=TEXT        store TEXT as a String session value
  --setjson KEY=JSON    store a value given as for ARG
  --param NAME=TEXT     query-string item (QUERY_STRING is made from them)
  --form NAME=TEXT      posted form item
  --server-var NAME=TEXT
                        server variable (SCRIPT_NAME defaults to /tabrix; an
                        explicit QUERY_STRING replaces the --param items)
  --now "YYYY-MM-DD HH:MM:SS"
                        fix the clock the component reads
  --help                show this text

ARG is a JSON value: a string, a whole number (Long), another number
(Double), true/false, null, the word empty, or a typed value such as
{"type":"Date","value":"2004-03-05 09:07:30"}, {"type":"Currency","value":"1.5000"},
{"type":"Object","class":"Field","Name":"Total","Type":6,"Attributes":104}
or {"type":"Object","class":"Dictionary","items":{"1":"a"}}.

Exit status: 0 when every call ran, 1 when one raised an error (the report
is still printed), 2 for bad usage or a bad configuration.
)";
}

}  // namespace tabrix::site
