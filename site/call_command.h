// `tabrix call`: runs members of one component object from the command line
// and reports, as one JSON object, what each call returned and wrote, the
// SQL it ran, the session it left and the object's state.
//
//   tabrix call [--config FILE] [--locale TAG] [--set KEY=TEXT]...
//               [--setjson KEY=JSON]... [--param NAME=TEXT]...
//               [--form NAME=TEXT]... [--server-var NAME=TEXT]...
//               [--now "YYYY-MM-DD HH:MM:SS"]
//               MEMBER [ARG]... [--then MEMBER [ARG]...]...
//
// Options come before the first MEMBER; after it every word is an ARG
// (a JSON value or `empty`, see variant_json.h) until `--then`. Exit codes:
// 0 when every call ran, 1 when one raised (the JSON is still printed, the
// later calls are not made), 2 for bad usage or a bad configuration (a
// message on the error stream, nothing on the output).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/request.h"
#include "host/variant.h"
#include "site/config.h"
#include "site/variant_json.h"

namespace tabrix::site {

// Words that do not make a valid command; what() says which and why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The value after the option words[i], stepping `i` onto it; raises
// UsageError("OPTION needs a value") when the words end there.
const std::string& OptionValue(const std::vector<std::string>& words, size_t& i);

struct MemberCall {
  std::string member;  // as typed
  std::vector<Variant> args;
};

struct CallOptions {
  std::optional<std::filesystem::path> config_file;
  std::optional<std::string> locale;
  std::optional<DateValue> now;  // --now: the clock the component reads
  // --set and --setjson, in the order given.
  std::vector<std::pair<std::string, Variant>> session_values;
  Request::Items params;       // --param
  Request::Items form;         // --form
  Request::Items server_vars;  // --server-var
  std::vector<MemberCall> calls;
  bool help = false;  // --help: print the usage and run nothing
};

// Reads the words after "call". Raises UsageError for an unknown option, an
// option without its value, a NAME=TEXT without "=", an ARG that is not a
// value, or no MEMBER.
CallOptions ParseCallArguments(const std::vector<std::string>& words);

// The request the calls see: --param items as the query string (unless
// --server-var QUERY_STRING gives it; its items are then the query items),
// --form items, and the server variables with SCRIPT_NAME "/tabrix" unless
// given.
std::shared_ptr<Request> BuildRequest(const CallOptions& options);

// Runs the calls of `options` on one new component object, with `config`
// (may be null) supplying the session settings and the site root. Returns
// the report; sets `*failed` when a call raised. Process settings (locale,
// data source folder) must already be applied.
Json RunCalls(const CallOptions& options, const SiteConfig* config, bool* failed);

// The whole command: parses `words`, loads the configuration, applies the
// process settings (locale, data source folder, fixed clock), runs the calls and prints the report
// to `out`. Returns the exit code (0, 1 or 2); usage errors go to `err`.
int RunCallCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

// The usage text of the command.
std::string CallUsage();

}  // namespace tabrix::site
