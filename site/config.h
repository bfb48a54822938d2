// The site's configuration: one TOML file.
//
//   listen    = "127.0.0.1:8080"   # host:port the server answers on
//   locale    = "en-US"            # BCP 47 tag of the regional settings
//   site_root = "www"              # relative to this file's folder
//   max_page_size = 1000           # the most records one page shows (>= 1)
//   db_connections = 6             # open connections per database (1..10000)
//   threads = 4                    # worker threads of the server (0: one per core)
//   max_page_bytes = 33554432      # the most bytes one page writes
//   max_body_bytes = 1048576       # the most bytes of a request body
//   statement_timeout = 10         # seconds before a statement is interrupted
//   connect_timeout = 5            # seconds to open a database server connection
//   page_cache_size = 67108864     # bytes of SQLite page cache, the whole process
//   mmap_size = 0                  # bytes of each SQLite file mapped (0: none)
//   cookie_secure = false          # the session cookie carries Secure
//   foreign_key_relations = false  # relations from the declared foreign keys
//   history = false                # keep a history of every change made here
//   history_days = 365             # days a change's history is kept (>= 1;
//                                  # default: for ever)
//   public_origin = "https://db.example.com"   # origin behind a TLS proxy
//   trusted_proxies = ["127.0.0.1", "10.0.0.0/8"]  # whose X-Forwarded-For
//                                  # names the visitor (default: none)
//   max_connections = 0            # open HTTP connections (0: from the
//                                  # descriptor limit, less room for the rest)
//   max_connections_per_address = 256   # per visitor address (IPv6: per /64;
//                                  # trusted proxies are not capped)
//   [session_store]                # kind = "memory" (default) or "database",
//   kind = "database"              # idle_minutes = 20 (an idle session ends)
//   [session]                      # settings every session reads through to,
//   set_dns = "Provider=SQLite;Data Source=demo.db"   # in the order written
//   [actions.1]                    # what the bulk-action page does with
//   do = "delete"                  # action 1
//   [actions.2]
//   do = "set"
//   values = { Status = "closed", Closed = 2004-03-05 }
//   [actions.3]
//   do = "export"                  # the picked records as a CSV download
//
// kind = "database" keeps the sessions and the failed-login counts in the
// PostgreSQL database of [session] set_dns ("Provider=PostgreSQL;Host=..;
// Port=..;Database=..;User ID=..;Password=.." or a postgresql:// URI), in
// the schema "tabrix", so several servers can serve one site; any other
// set_dns is refused.
//
// Session settings and field values are scalars: TOML strings, integers,
// floats, booleans and dates, date-times or times become String, Long,
// Double, Boolean and Date (a date-time's offset is dropped, the clock time
// is kept as written; fractions of a second are dropped). An unknown key, a
// value of another kind or a malformed action is refused with a ConfigError
// naming the file, the line and the key. Keys of [session] and of `values`
// ignore letter case, as the session and the fields do, so two keys that
// differ only in case are refused too.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "component/process_limits.h"
#include "host/adodb/sqlite/sqlite_memory.h"
#include "host/session.h"
#include "host/variant.h"

namespace tabrix::site {

class ReferringKeys;

// A refused configuration: "<file>, line N, key "k": why".
class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the bulk-action page does with one action number.
struct BulkAction {
  enum class Kind { kDelete, kSet, kExport };
  Kind kind = Kind::kDelete;
  // For kSet: field name -> new value, in the order written.
  std::vector<std::pair<std::string, Variant>> values;
};

struct SiteConfig {
  std::filesystem::path file;    // the file as it was named
  std::filesystem::path folder;  // its folder, absolute
  std::string listen = "127.0.0.1:8080";
  std::string locale = "en-US";
  std::filesystem::path site_root;  // absolute
  std::int64_t max_page_size = ProcessLimits{}.max_page_size;
  // The most open database connections per connection string; 0: three per
  // worker thread.
  std::int64_t db_connections = 0;
  // Worker threads of `tabrix serve`; 0: one per core.
  std::int64_t threads = 0;
  // The most bytes one page writes (its output) before it stops with a 500.
  std::int64_t max_page_bytes = 32 * 1024 * 1024;
  // The most bytes of a request body.
  std::int64_t max_body_bytes = 1024 * 1024;
  // Seconds a statement may run before it is interrupted (the page: 503).
  double statement_timeout = 10;
  // Seconds a new connection to a database server (PostgreSQL) may take to
  // open; past it the page answers 503.
  double connect_timeout = 5;
  // Bytes of SQLite page cache for the whole process, shared out among its
  // connections (sqlite_memory.h).
  std::int64_t page_cache_size = adodb::sqlite::SqliteMemory{}.page_cache;
  // Bytes of each SQLite database file read through a memory map; 0: none.
  std::int64_t mmap_size = adodb::sqlite::SqliteMemory{}.mmap_size;
  // Whether the session cookie carries Secure (a site served over TLS).
  bool cookie_secure = false;
  // Whether the database's declared foreign keys become relations (where no
  // set_relation entry covers them) and list, on a record page, the rows
  // that refer to it (site/outline/foreign_key_relations.h).
  bool foreign_key_relations = false;
  // Whether every add, update, delete and bulk change made through the
  // pages is recorded, in the same transaction, in the site's history table
  // (site/history/history_log.h). A site whose database opens read-only
  // never records.
  bool history = false;
  // Days a history row is kept; 0: for ever. Nothing is dropped unless the
  // owner asks: the history is a record, and its size is the owner's call.
  std::int64_t history_days = 0;
  // Filled at start-up from the database, not from the file: what refers to
  // a table's rows, for the record page (null: nothing is listed).
  std::shared_ptr<const ReferringKeys> referring_keys;
  // The site's origin as browsers see it ("https://db.example.com"), for
  // the same-origin check of POSTs behind a proxy; empty: the Host header.
  std::string public_origin;
  // The proxies in front of the site (addresses or networks such as
  // "10.0.0.0/8"): a request from one of them is counted as the visitor its
  // X-Forwarded-For names (client_address.h). Empty: the peer is the visitor.
  std::vector<std::string> trusted_proxies;
  // The most HTTP connections open at once; 0: derived from the process's
  // descriptor limit at start-up (serve_command.cpp).
  std::int64_t max_connections = 0;
  // The most open connections from one address (IPv6: one /64); 0: no cap.
  std::int64_t max_connections_per_address = 256;
  // [session_store]: where sessions live ("memory" or "database") and how
  // long an idle one lasts.
  std::string session_store_kind = "memory";
  std::int64_t session_idle_minutes = 20;
  std::vector<std::pair<std::string, Variant>> session;
  std::map<long long, BulkAction> actions;
};

// Reads and checks the configuration file `file`. Raises ConfigError when
// the file cannot be read, is not TOML, or breaks the schema above.
SiteConfig LoadConfig(const std::filesystem::path& file);

// Checks the configuration text `text` as if read from `file` (which names
// it in errors and anchors the relative paths). Raises ConfigError.
SiteConfig ParseConfig(std::string_view text, const std::filesystem::path& file);

// The connection string a "database" session store uses: the text of the
// [session] setting set_dns ("" when there is none or it is no string).
std::string SessionDatabase(const SiteConfig& config);

// The configuration's session settings, in order, as the read-only layer
// every session of the site reads through to (Session's site layer).
std::shared_ptr<const Session> SiteSettings(const SiteConfig& config);

// Makes the process follow the configuration: its locale (or
// `locale_override` when given), its folder as the base of a relative
// SQLite "Data Source", its process limits (max_page_size), the pool's
// connections per database, the statement timeout and SQLite's page cache
// budget and memory mapping. Without a
// configuration the locale is set (default en-US) and the limits take their
// defaults. Raises ConfigError for a locale that is not known. Call once at
// start-up, before other threads run.
void ApplyProcessSettings(const SiteConfig* config,
                          const std::optional<std::string>& locale_override);

}  // namespace tabrix::site
