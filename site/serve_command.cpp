#include "site/serve_command.h"

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "site/call_command.h"
#include "site/config.h"
#include "site/http/http_server.h"
#include "site/http/malloc_settings.h"
#include "host/adodb/connection_pool.h"
#include "host/adodb/connection_string.h"
#include "site/pages/site_handler.h"
#include "site/outline/database_draft.h"
#include "site/session/client_address.h"
#include "site/site_startup.h"
#include "site/version.h"

namespace tabrix::site {

namespace fs = std::filesystem;

ServeOptions ParseServeArguments(const std::vector<std::string>& words) {
  ServeOptions options;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    auto value_of = [&]() -> const std::string& { return OptionValue(words, i); };
    if (word == "--help" || word == "-h") {
      options.help = true;
    } else if (word == "--config") {
      if (options.config_file) throw UsageError("--config is given twice");
      options.config_file = value_of();
    } else if (word == "--listen") {
      if (options.listen) throw UsageError("--listen is given twice");
      options.listen = value_of();
    } else if (word == "--locale") {
      if (options.locale) throw UsageError("--locale is given twice");
      options.locale = value_of();
    } else if (word == "--readonly") {
      options.read_only = true;
    } else if (!word.starts_with("-") && !options.database) {
      options.database = word;
    } else {
      throw UsageError("unknown argument " + word);
    }
  }
  if (options.database && options.config_file)
    throw UsageError("give a database or --config FILE, not both");
  if (options.read_only && !options.database)
    throw UsageError("--readonly goes with a database named on the command line; in a "
                     "configuration, add Mode=Read to set_dns and give the users only V");
  return options;
}

ListenAddress ParseListenAddress(const std::string& text) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0)
    throw UsageError("the listen address \"" + text + "\" is not HOST:PORT");
  ListenAddress address;
  address.host = text.substr(0, colon);
  if (address.host.size() >= 2 && address.host.front() == '[' && address.host.back() == ']')
    address.host = address.host.substr(1, address.host.size() - 2);
  std::string port = text.substr(colon + 1);
  bool digits = !port.empty() && port.size() <= 5 &&
                std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (address.host.empty() || !digits || std::stoi(port) > 65535)
    throw UsageError("the listen address \"" + text + "\" is not HOST:PORT (port 0..65535)");
  address.port = static_cast<std::uint16_t>(std::stoi(port));
  return address;
}

namespace {

// Workers: the configuration's count, else one per core. I/O threads only
// parse and copy bytes: a few are enough.
std::size_t WorkerCount(const SiteConfig& config, unsigned cores) {
  return config.threads > 0 ? static_cast<std::size_t>(config.threads) : cores;
}

std::size_t IoThreadCount(unsigned cores) { return std::clamp<std::size_t>(cores / 2, 1, 4); }

}  // namespace

std::size_t DefaultMaxConnections(std::uint64_t open_files_limit, std::size_t workers,
                                  std::size_t db_connections_per_string) {
  // Room for the rest: standard streams, the listener, log and site files,
  // the session store (a connection per worker and one more), and database
  // connections, each SQLite one with a few files of its own (journal, WAL).
  std::uint64_t reserve = 64 + 4 * static_cast<std::uint64_t>(db_connections_per_string) +
                          static_cast<std::uint64_t>(workers) + 3;
  std::uint64_t room = open_files_limit > reserve ? open_files_limit - reserve : 0;
  return static_cast<std::size_t>(std::max<std::uint64_t>(room, 16));
}

int RunServeCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  ServeOptions options;
  std::optional<SiteConfig> loaded;
  OnListening print_login;
  try {
    options = ParseServeArguments(words);
    if (options.help) {
      out << ServeUsage();
      return 0;
    }
    if (options.config_file) {
      loaded = LoadConfig(*options.config_file);
      if (options.locale) loaded->locale = *options.locale;
    } else if (!options.database) {
      err << "tabrix: serving no database: name one (tabrix serve shop.db) or give a "
             "configuration (--config FILE)\n";
    } else {
      ApplyProcessSettings(nullptr, options.locale);
      DraftOptions draft;
      draft.database = *options.database;
      draft.set_dns = ConnectionStringFor(*options.database, options.read_only);
      draft.read_only = options.read_only;
      // --listen stands over the file's, which takes no port 0.
      if (options.locale) draft.locale = *options.locale;
      DraftedSite site = DraftSiteFor(draft);
      for (const std::string& note : site.draft.notes) err << "tabrix: " << note << "\n";
      loaded = ParseConfig(site.draft.toml, fs::current_path() / "tabrix-serve.toml");
      // What the log says is served: the database as named, password hidden.
      loaded->file = adodb::RedactPassword(*options.database);
      print_login = [password = site.password, read_only = options.read_only, &out](
                        const std::string& host, std::uint16_t port) {
        out << "Tabrix: http://" << host << ":" << port << "/\n"
            << "login admin " << password << "  ("
            << (read_only ? "may only view" : "may do everything") << ")\n";
        out.flush();
      };
    }
  } catch (const UsageError& e) {
    err << "tabrix serve: " << e.what() << "\nTry 'tabrix serve --help'.\n";
    return 2;
  } catch (const ConfigError& e) {
    err << "tabrix serve: " << e.what() << "\n";
    return 2;
  }
  return ServeSite(loaded ? &*loaded : nullptr, options.listen, "serve", err, print_login);
}

int ServeSite(const SiteConfig* loaded, const std::optional<std::string>& listen,
              std::string_view command, std::ostream& err, const OnListening& on_listening) {
  SiteConfig config;
  ListenAddress address;
  try {
    ApplyProcessSettings(loaded, std::nullopt);
    if (loaded) {
      config = *loaded;
    } else {
      config.folder = fs::current_path();
      config.site_root = config.folder;
    }
    address = ParseListenAddress(listen ? *listen : config.listen);
    PrepareSite(config, err);
  } catch (const UsageError& e) {
    err << "tabrix " << command << ": " << e.what() << "\nTry 'tabrix " << command
        << " --help'.\n";
    return 2;
  } catch (const ConfigError& e) {
    err << "tabrix " << command << ": " << e.what() << "\n";
    return 2;
  }

  // Blocked before any thread starts, so every thread inherits the mask and
  // the signals reach only sigwait below.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  // Process-wide: set once, before the server allocates its first pages.
  TuneMallocForServing();
  unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  HttpServerOptions server_options;
  server_options.host = address.host;
  server_options.port = address.port;
  server_options.workers = WorkerCount(config, cores);
  server_options.io_threads = IoThreadCount(cores);
  server_options.max_body_bytes = static_cast<std::uint64_t>(config.max_body_bytes);
  rlimit files{};
  std::uint64_t open_files =
      getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY
          ? static_cast<std::uint64_t>(files.rlim_cur)
          : 1u << 20;
  server_options.max_connections =
      config.max_connections > 0
          ? static_cast<std::size_t>(config.max_connections)
          : DefaultMaxConnections(open_files, server_options.workers,
                                  adodb::ConnectionPool::Current().limits().per_string);
  server_options.max_connections_per_address =
      static_cast<std::size_t>(config.max_connections_per_address);
  auto proxies = std::make_shared<const TrustedProxies>(config.trusted_proxies);
  server_options.uncapped_address = [proxies](const std::string& address) {
    return proxies->Contains(address);
  };

  std::optional<SiteHandler> handler;
  std::optional<HttpServer> server;
  try {
    handler.emplace(config);
    server.emplace(server_options, *handler);
  } catch (const ConfigError& e) {
    err << "tabrix " << command << ": " << e.what() << "\n";
    return 2;
  } catch (const std::runtime_error& e) {
    err << "tabrix " << command << ": " << e.what() << "\n";
    return 2;
  }
  server->Start();
  if (!config.public_origin.empty() && config.trusted_proxies.empty())
    err << "tabrix: warning: public_origin is set but trusted_proxies is not: behind a proxy "
           "every visitor counts as the proxy's address for the login limits\n";
  std::string shown_host = address.host.find(':') != std::string::npos
                               ? "[" + address.host + "]"
                               : address.host;
  // The version and what is served come first, for whoever reads the log.
  err << "tabrix " << kVersion << " serving "
      << (loaded ? loaded->file.string() : std::string("the defaults (no configuration)"))
      << "\n";
  if (on_listening) on_listening(shown_host, server->port());
  err << "tabrix: listening on http://" << shown_host << ":" << server->port() << std::endl;

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  server->Stop();
  server->Wait();
  // Closed, not left to the exit: SQLite folds its write-ahead log back
  // into the file when the last connection closes.
  server.reset();
  handler.reset();
  adodb::ConnectionPool::Current().CloseIdle(SessionDatabase(config));
  return 0;
}

std::string ServeUsage() {
  return R"(Usage: tabrix serve [--config FILE] [--listen HOST:PORT] [--locale TAG]
       tabrix serve [--listen HOST:PORT] [--locale TAG] [--readonly] DATABASE

Serves the web site of one configuration over HTTP until SIGTERM or SIGINT,
which stop it cleanly: the requests in flight are answered, then it exits 0.
Given a DATABASE instead (an SQLite file or a postgresql:// URI), it serves
every table and view of it with relations from its foreign keys, and prints
the address and a login "admin" with a new password once it listens
(`tabrix init DATABASE` writes the same site as a file to edit).
Writes "tabrix: listening on http://HOST:PORT" on stderr once listening,
then one line per request: time (UTC), method, path (query values left
out), status, body bytes, microseconds.

Options:
  --config FILE       site configuration (TOML); without one, the defaults
  --listen HOST:PORT  address to listen on (default: the configuration's
                      "listen", else 127.0.0.1:8080); port 0 picks a free one
  --locale TAG        regional settings, e.g. de-DE (default: the
                      configuration's "locale", else en-US)
  --readonly          with a DATABASE: open it read-only and let the
                      administrator only view
  --help              print this text
)";
}

}  // namespace tabrix::site
