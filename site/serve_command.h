// `tabrix serve`: the web site of one configuration over HTTP.
//
//   tabrix serve [--config FILE] [--listen HOST:PORT] [--locale TAG]
//   tabrix serve [--listen HOST:PORT] [--locale TAG] [--readonly] DATABASE
//
// Loads the configuration, or drafts one for DATABASE (site_draft.h) and
// prints its administrator's login once it listens (none of either: the
// defaults, listening on 127.0.0.1:8080), checks that its database opens,
// applies it to the process, and serves SiteHandler on
// HttpServer with the configuration's worker threads and body limit. Once
// listening it writes "tabrix VERSION serving FILE", then
// "tabrix: listening on http://HOST:PORT" (the real port when 0 was
// asked) on the error stream, then one access-log line per
// request. SIGTERM or SIGINT stops it cleanly (the requests in flight are
// answered) and it exits 0; bad usage, a bad configuration or an address
// it cannot listen on exits 2 with a message.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "site/config.h"

namespace tabrix::site {

struct ServeOptions {
  std::optional<std::filesystem::path> config_file;
  std::optional<std::string> listen;  // overrides the configuration's
  std::optional<std::string> locale;  // likewise
  // A database served without a configuration: an SQLite file or a
  // postgresql:// URI.
  std::optional<std::string> database;
  bool read_only = false;  // with `database`: view only, opened read-only
  bool help = false;
};

// Reads the words after "serve". Raises UsageError (call_command.h) for an
// unknown option, a missing value or an option given twice.
ServeOptions ParseServeArguments(const std::vector<std::string>& words);

struct ListenAddress {
  std::string host;  // as bound: an IPv6 literal without its brackets
  std::uint16_t port = 0;
};

// Splits "HOST:PORT" ("127.0.0.1:8080", "[::1]:0", "localhost:80").
// Raises UsageError when there is no host, or the port is not 0..65535.
ListenAddress ParseListenAddress(const std::string& text);

// The whole command; returns the exit code. Blocks SIGTERM and SIGINT in
// the calling thread and waits for one of them while serving.
int RunServeCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

std::string ServeUsage();

// The default max_connections: the descriptor limit less room for what
// else the process opens (database connections, files), at least 16.
std::size_t DefaultMaxConnections(std::uint64_t open_files_limit, std::size_t workers,
                                  std::size_t db_connections_per_string);

// What ServeSite calls once it listens: the host as a URL writes it (an
// IPv6 literal in brackets) and the real port.
using OnListening = std::function<void(const std::string& host, std::uint16_t port)>;

// Serves the site of `config` (nullptr: the defaults, in the current
// folder) on `listen` (nullopt: the configuration's "listen") as described
// above, after applying the configuration to the process. `command` names
// the sub-command in messages. Calls `on_listening` (when set) before the
// "listening on" line. Returns the exit code.
int ServeSite(const SiteConfig* config, const std::optional<std::string>& listen,
              std::string_view command, std::ostream& err, const OnListening& on_listening = {});

}  // namespace tabrix::site
