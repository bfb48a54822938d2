// The site configuration file: a full file, the defaults, the conversion of
// session values, and every kind of refusal with the line it names.
#include "site/config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sqlite3.h>

#include <fstream>

#include "host/adodb/connection.h"
#include "host/adodb/connection_pool.h"
#include "host/adodb/connection_string.h"
#include "host/adodb/sqlite/sqlite_connection.h"
#include "host/adodb/sqlite/sqlite_provider.h"
#include "host/variant_ops.h"
#include "site/variant_json.h"
#include "support/process_limits_scope.h"
#include "support/sqlite_fixture.h"

namespace tabrix::site {
namespace {

namespace fs = std::filesystem;

const fs::path kFile = "/srv/site/tabrix.toml";

DateValue Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return MakeDate(CivilTime{y, mo, d, h, mi, s});
}

std::string Shown(const Variant& v) { return DumpJson(VariantToJson(v)); }

TEST(Config, AFullFileKeepsTheOrderWrittenAndResolvesPaths) {
  SiteConfig config = ParseConfig(R"(# the demo site
listen = "0.0.0.0:9000"
locale = "tr-TR"
site_root = "www/../public"

[session]
set_replace = "cust_id=Customer"
set_dns = "Provider=SQLite;Data Source=demo.db"
Set_Pagers = 20
"set_user1_username" = "ali"

[actions.10]
do = "delete"

[actions.2]
do = "set"
values = { Status = "closed", Amount = 0, Closed = 2004-03-05 }

[actions.3]
do = "export"
)",
                                  kFile);
  EXPECT_EQ(config.listen, "0.0.0.0:9000");
  EXPECT_EQ(config.locale, "tr-TR");
  EXPECT_EQ(config.folder, fs::path("/srv/site"));
  EXPECT_EQ(config.site_root, fs::path("/srv/site/public"));

  std::vector<std::string> keys;
  for (const auto& [key, value] : config.session) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"set_replace", "set_dns", "Set_Pagers",
                                            "set_user1_username"}));
  EXPECT_TRUE(config.session[2].second.Identical(Variant(20)));

  ASSERT_EQ(config.actions.size(), 3u);
  EXPECT_EQ(config.actions.at(3).kind, BulkAction::Kind::kExport);
  EXPECT_EQ(config.actions.at(10).kind, BulkAction::Kind::kDelete);
  EXPECT_TRUE(config.actions.at(10).values.empty());
  const BulkAction& set = config.actions.at(2);
  EXPECT_EQ(set.kind, BulkAction::Kind::kSet);
  ASSERT_EQ(set.values.size(), 3u);
  EXPECT_EQ(set.values[0].first, "Status");
  EXPECT_EQ(set.values[1].first, "Amount");
  EXPECT_EQ(set.values[2].first, "Closed");
  EXPECT_TRUE(set.values[2].second.Identical(Variant(Date(2004, 3, 5))));

  // The settings are one layer sessions read through; none is copied.
  Session session(SiteSettings(config));
  EXPECT_EQ(session.Value("SET_DNS").string(), "Provider=SQLite;Data Source=demo.db");
  EXPECT_EQ(session.StoredKey("SET_DNS"), "set_dns");
  EXPECT_TRUE(session.OwnEntries().empty());
}

TEST(Config, AnEmptyFileTakesTheDefaults) {
  SiteConfig config = ParseConfig("", kFile);
  EXPECT_EQ(config.listen, "127.0.0.1:8080");
  EXPECT_EQ(config.locale, "en-US");
  EXPECT_EQ(config.site_root, fs::path("/srv/site"));
  EXPECT_TRUE(config.session.empty());
  EXPECT_TRUE(config.actions.empty());

  EXPECT_EQ(ParseConfig("site_root = \"/var/www\"", kFile).site_root, fs::path("/var/www"));
}

TEST(Config, SessionValuesBecomeVariantsOfTheirKind) {
  struct Case {
    const char* toml;
    Variant expected;
  };
  const Case cases[] = {
      {R"(v = "text")", Variant("text")},
      {R"(v = "")", Variant("")},
      {"v = 42", Variant(42)},
      {"v = -9223372036854775808", Variant(static_cast<long long>(INT64_MIN))},
      {"v = 1.5", Variant(1.5)},
      {"v = 3.0", Variant(3.0)},
      {"v = true", Variant(true)},
      {"v = false", Variant(false)},
      {"v = 2004-03-05", Variant(Date(2004, 3, 5))},
      {"v = 2004-03-05 09:07:30", Variant(Date(2004, 3, 5, 9, 7, 30))},
      {"v = 2004-03-05T09:07:30.75", Variant(Date(2004, 3, 5, 9, 7, 30))},
      // The clock time as written; the offset names no local time here.
      {"v = 2004-03-05T23:07:30+05:00", Variant(Date(2004, 3, 5, 23, 7, 30))},
      {"v = 09:07:30", Variant(Date(1899, 12, 30, 9, 7, 30))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.toml);
    SiteConfig config = ParseConfig(std::string("[session]\n") + c.toml, kFile);
    ASSERT_EQ(config.session.size(), 1u);
    EXPECT_EQ(Shown(config.session[0].second), Shown(c.expected));
  }
}

TEST(Config, RefusalsNameTheFileTheLineAndTheKey) {
  struct Case {
    const char* id;
    const char* toml;
    int line;
    const char* key;  // "" when the fault is in the TOML itself
  };
  const Case cases[] = {
      {"unknown-top", "listen = \"a:1\"\nlisten_on = \"b:2\"", 2, "listen_on"},
      {"listen-kind", "listen = 8080", 1, "listen"},
      {"listen-shape", "\nlisten = \"localhost\"", 2, "listen"},
      {"listen-port", "listen = \"localhost:70000\"", 1, "listen"},
      {"locale-kind", "locale = [\"en\"]", 1, "locale"},
      {"locale-shape", "locale = \"en US\"", 1, "locale"},
      {"site-root-empty", "site_root = \"\"", 1, "site_root"},
      {"session-kind", "session = \"x\"", 1, "session"},
      {"session-array-of-tables", "[[session]]\nv = 1", 1, "session"},
      {"session-array", "[session]\na = 1\nlist = [1, 2]", 3, "session.list"},
      {"session-table", "[session]\nset.dns = \"x\"", 2, "session.set"},
      {"session-inline-table", "[session]\nv = { a = 1 }", 2, "session.v"},
      {"session-case", "[session]\nset_dns = \"a\"\n\nSET_DNS = \"b\"", 4, "session.SET_DNS"},
      {"session-date-range", "[session]\nold = 0099-12-31", 2, "session.old"},
      {"session-login-record", "[session]\nset_dns = \"a\"\nuserok = \"yes\"", 3, "session.userok"},
      {"session-login-user", "[session]\nUserId = 1", 2, "session.UserId"},
      {"connect-timeout-kind", "connect_timeout = \"5\"", 1, "connect_timeout"},
      {"connect-timeout-zero", "connect_timeout = 0", 1, "connect_timeout"},
      {"actions-kind", "actions = 1", 1, "actions"},
      {"action-name", "[actions.first]\ndo = \"delete\"", 1, "actions.first"},
      {"action-zero", "[actions.0]\ndo = \"delete\"", 1, "actions.0"},
      {"action-leading-zero", "[actions.01]\ndo = \"delete\"", 1, "actions.01"},
      {"action-sign", "[actions.\"+1\"]\ndo = \"delete\"", 1, "actions.+1"},
      {"action-too-big", "[actions.99999999999999999999]\ndo = \"delete\"", 1,
       "actions.99999999999999999999"},
      {"action-kind", "[actions]\n1 = \"delete\"", 2, "actions.1"},
      {"action-no-do", "[actions.1]\n", 1, "actions.1"},
      {"action-do-kind", "[actions.1]\ndo = 1", 2, "actions.1.do"},
      {"action-do-word", "[actions.1]\ndo = \"archive\"", 2, "actions.1.do"},
      {"action-do-case", "[actions.1]\ndo = \"Delete\"", 2, "actions.1.do"},
      {"action-delete-values", "[actions.1]\ndo = \"delete\"\nvalues = { A = 1 }", 3,
       "actions.1.values"},
      {"action-export-values", "[actions.1]\ndo = \"export\"\nvalues = { A = 1 }", 3,
       "actions.1.values"},
      {"action-set-no-values", "[actions.1]\ndo = \"set\"", 2, "actions.1.do"},
      {"action-values-kind", "[actions.1]\ndo = \"set\"\nvalues = \"A=1\"", 3, "actions.1.values"},
      {"action-values-empty", "[actions.1]\ndo = \"set\"\nvalues = {}", 3, "actions.1.values"},
      {"action-value-array", "[actions.1]\ndo = \"set\"\nvalues = { A = [1] }", 3,
       "actions.1.values.A"},
      {"action-value-case", "[actions.1]\ndo = \"set\"\nvalues = { A = 1, a = 2 }", 3,
       "actions.1.values.a"},
      {"action-unknown-key", "[actions.1]\ndo = \"delete\"\nwhen = 1", 3, "actions.1.when"},
      {"page-size-zero", "max_page_size = 0", 1, "max_page_size"},
      {"page-size-negative", "\nmax_page_size = -5", 2, "max_page_size"},
      {"page-size-text", "max_page_size = \"100\"", 1, "max_page_size"},
      {"page-size-float", "max_page_size = 100.0", 1, "max_page_size"},
      {"connections-zero", "db_connections = 0", 1, "db_connections"},
      {"history-kind", "history = \"yes\"", 1, "history"},
      {"history-days-zero", "history = true\nhistory_days = 0", 2, "history_days"},
      {"origin-no-scheme", "public_origin = \"db.example.com\"", 1, "public_origin"},
      {"origin-with-path", "public_origin = \"https://db.example.com/site\"", 1, "public_origin"},
      {"origin-bad-port", "public_origin = \"https://db.example.com:99999\"", 1, "public_origin"},
      {"proxies-text", "trusted_proxies = \"10.0.0.1\"", 1, "trusted_proxies"},
      {"proxies-name", "trusted_proxies = [\"proxy.example\"]", 1, "trusted_proxies"},
      {"proxies-number", "trusted_proxies = [10]", 1, "trusted_proxies"},
      {"proxies-prefix", "trusted_proxies = [\"10.0.0.0/40\"]", 1, "trusted_proxies"},
      {"connections-negative", "max_connections = -1", 1, "max_connections"},
      {"per-address-text", "max_connections_per_address = \"5\"", 1,
       "max_connections_per_address"},
      {"store-kind", "[session_store]\nkind = \"database\"", 2, "session_store.kind"},
      {"store-kind-word", "[session_store]\nkind = \"disk\"", 2, "session_store.kind"},
      {"store-database-sqlite",
       "[session]\nset_dns = \"Provider=SQLite;Data Source=a.db\"\n[session_store]\n"
       "kind = \"database\"",
       4, "session_store.kind"},
      {"store-database-dns-number", "[session_store]\nkind = \"database\"\n[session]\nset_dns = 1",
       2, "session_store.kind"},
      {"store-database-dns-broken",
       "[session_store]\nkind = \"database\"\n[session]\nset_dns = \"Provider\"", 2,
       "session_store.kind"},
      {"store-idle", "[session_store]\nidle_minutes = 0", 2, "session_store.idle_minutes"},
      {"connections-text", "db_connections = \"4\"", 1, "db_connections"},
      {"page-cache-small", "page_cache_size = 65536", 1, "page_cache_size"},
      {"page-cache-text", "page_cache_size = \"64MB\"", 1, "page_cache_size"},
      {"mmap-negative", "mmap_size = -1", 1, "mmap_size"},
      {"mmap-float", "\nmmap_size = 1.5e9", 2, "mmap_size"},
      {"toml-unterminated", "listen = \"a:1\"\n\nlocale = \"en", 3, ""},
      {"toml-duplicate", "listen = \"a:1\"\nlisten = \"b:2\"", 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    try {
      ParseConfig(c.toml, kFile);
      ADD_FAILURE() << "accepted";
    } catch (const ConfigError& e) {
      std::string message = e.what();
      std::string where = kFile.string() + ", line " + std::to_string(c.line);
      EXPECT_EQ(message.rfind(where, 0), 0u) << message;
      EXPECT_NE(message.find(where + (*c.key ? ", key" : ":")), std::string::npos) << message;
      if (*c.key) {
        EXPECT_NE(message.find("\"" + std::string(c.key) + "\""), std::string::npos) << message;
      }
    }
  }
}

TEST(Config, MaxPageSizeIsAWholeNumberWithADefaultAndBoundsTheProcess) {
  EXPECT_EQ(ParseConfig("", kFile).max_page_size, 1000);
  EXPECT_EQ(ParseConfig("max_page_size = 1", kFile).max_page_size, 1);
  SiteConfig config = ParseConfig("max_page_size = 250\n[session]\nv = 1", kFile);
  EXPECT_EQ(config.max_page_size, 250);

  // A process setting, not a session value.
  testing::ProcessLimitsScope restore(CurrentProcessLimits());
  std::string base = adodb::DataSourceBase();
  ApplyProcessSettings(&config, std::nullopt);
  EXPECT_EQ(CurrentProcessLimits().max_page_size, 250);
  ASSERT_EQ(config.session.size(), 1u);
  EXPECT_EQ(config.session[0].first, "v");
  ApplyProcessSettings(nullptr, std::nullopt);
  EXPECT_EQ(CurrentProcessLimits().max_page_size, 1000);
  adodb::SetDataSourceBase(base);
}

TEST(Config, ProxiesAndConnectionCapsHaveDefaults) {
  SiteConfig defaults = ParseConfig("", kFile);
  EXPECT_TRUE(defaults.trusted_proxies.empty());
  EXPECT_EQ(defaults.max_connections, 0);
  EXPECT_EQ(defaults.max_connections_per_address, 256);
  SiteConfig set = ParseConfig(
      "trusted_proxies = [\"10.0.0.0/8\", \"::1\"]\nmax_connections = 500\n"
      "max_connections_per_address = 0",
      kFile);
  EXPECT_EQ(set.trusted_proxies, (std::vector<std::string>{"10.0.0.0/8", "::1"}));
  EXPECT_EQ(set.max_connections, 500);
  EXPECT_EQ(set.max_connections_per_address, 0);
}

TEST(Config, PublicOriginIsAnOriginTheSameOriginCheckCanCompare) {
  EXPECT_EQ(ParseConfig("public_origin = \"https://db.example.com:8443\"", kFile).public_origin,
            "https://db.example.com:8443");
  EXPECT_EQ(ParseConfig("", kFile).public_origin, "");
}

TEST(Config, DbConnectionsBoundsThePoolOfEachDatabase) {
  adodb::PoolLimits before = adodb::ConnectionPool::Current().limits();
  SiteConfig config = ParseConfig("db_connections = 4", kFile);
  std::string base = adodb::DataSourceBase();
  ApplyProcessSettings(&config, std::nullopt);
  EXPECT_EQ(adodb::ConnectionPool::Current().limits().per_string, 4u);
  ApplyProcessSettings(nullptr, std::nullopt);  // the default: three per core
  EXPECT_EQ(adodb::ConnectionPool::Current().limits().per_string,
            3 * adodb::PoolLimits::DefaultWorkers());
  adodb::ConnectionPool::Current().set_limits(before);
  adodb::SetDataSourceBase(base);
}

TEST(Config, ConnectTimeoutBoundsOpeningADatabaseServerConnection) {
  std::string base = adodb::DataSourceBase();
  SiteConfig config = ParseConfig("connect_timeout = 2.5", kFile);
  ApplyProcessSettings(&config, std::nullopt);
  EXPECT_EQ(adodb::ConnectTimeout().count(), 2500);
  ApplyProcessSettings(nullptr, std::nullopt);  // the default: 5 seconds
  EXPECT_EQ(adodb::ConnectTimeout().count(), 5000);
  adodb::SetDataSourceBase(base);
}

// The setting of `pragma` on a new connection of the SQLite provider.
std::int64_t PragmaOfANewConnection(const std::string& connection_string, const char* pragma) {
  auto backend = adodb::sqlite::SqliteProvider().Connect(
      adodb::ConnectionString::Parse(connection_string));
  sqlite3* db = dynamic_cast<adodb::sqlite::SqliteConnection&>(*backend).handle();
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, pragma, -1, &statement, nullptr);
  std::int64_t value = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0)
                                                             : -1;
  sqlite3_finalize(statement);
  return value;
}

TEST(Config, SqlitePageCacheAndMemoryMapReachNewConnections) {
  testing::SqliteFixture file;
  std::string base = adodb::DataSourceBase();
  SiteConfig config = ParseConfig("page_cache_size = 8388608\nmmap_size = 1048576", kFile);
  ApplyProcessSettings(&config, std::nullopt);
  // One budget for the process, which any one connection may fill.
  EXPECT_EQ(sqlite3_soft_heap_limit64(-1), 8388608);
  EXPECT_EQ(PragmaOfANewConnection(file.connection_string(), "PRAGMA cache_size"), -8192);
  EXPECT_EQ(PragmaOfANewConnection(file.connection_string(), "PRAGMA mmap_size"), 1048576);

  ApplyProcessSettings(nullptr, std::nullopt);  // the defaults: 64 MiB, no map
  EXPECT_EQ(sqlite3_soft_heap_limit64(-1), 64 * 1024 * 1024);
  EXPECT_EQ(PragmaOfANewConnection(file.connection_string(), "PRAGMA cache_size"), -65536);
  EXPECT_EQ(PragmaOfANewConnection(file.connection_string(), "PRAGMA mmap_size"), 0);
  adodb::SetDataSourceBase(base);
}

class ConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tabrix_config_test_" + std::to_string(getpid()));
    fs::create_directories(dir_ / "sites");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(ConfigFileTest, LoadsAFileAndAnchorsTheDataSourceAtItsFolder) {
  fs::path file = dir_ / "sites" / "demo.toml";
  std::ofstream(file)
      << "site_root = \"pages\"\n[session]\nset_dns = \"Provider=SQLite;Data Source=d.db\"\n";
  SiteConfig config = LoadConfig(file);
  EXPECT_EQ(config.site_root, dir_ / "sites" / "pages");
  ASSERT_EQ(config.session.size(), 1u);

  std::string before = adodb::DataSourceBase();
  ApplyProcessSettings(&config, std::nullopt);
  EXPECT_EQ(fs::path(adodb::DataSourceBase()), dir_ / "sites");
  adodb::SetDataSourceBase(before);
}

TEST_F(ConfigFileTest, AMissingFileOrAFolderIsRefused) {
  for (const fs::path& file : {dir_ / "absent.toml", dir_ / "sites"}) {
    SCOPED_TRACE(file.string());
    try {
      LoadConfig(file);
      ADD_FAILURE() << "accepted";
    } catch (const ConfigError& e) {
      EXPECT_EQ(std::string(e.what()), file.string() + ": cannot read the configuration file");
    }
  }
}

}  // namespace
}  // namespace tabrix::site

namespace tabrix::site {
namespace {

TEST(Config, ADatabaseSessionStoreTakesThePostgreSQLDatabaseOfSetDns) {
  const fs::path file = fs::path("/srv/site") / "site.toml";
  EXPECT_EQ(ParseConfig("", file).session_store_kind, "memory");
  for (const char* dns : {"Provider=PostgreSQL;Host=db;Port=5433;Database=shop;User ID=web",
                          "postgresql://web@db:5433/shop",
                          "provider=postgresql;host=db;dbname=shop;sslmode=require"}) {
    std::string text = std::string("[session_store]\nkind = \"database\"\n[session]\nSET_DNS = \"") +
                       dns + "\"";
    SiteConfig config = ParseConfig(text, file);
    EXPECT_EQ(config.session_store_kind, "database") << dns;
    EXPECT_EQ(SessionDatabase(config), dns);
  }
  // A refusal names what is wrong, never the password: the store takes
  // only what the pages' provider takes.
  struct {
    const char* dns;
    const char* says;
  } refused[] = {
      {"Provider=Oracle;Password=hunter2", "not PostgreSQL"},
      {"Provider=PostgreSQL;Host=db;Password=hunter2", "no Database is named"},
      {"Provider=PostgreSQL;Database=shop;Passwort=hunter2", "the key 'passwort' is not known"},
  };
  for (const auto& r : refused) {
    try {
      ParseConfig(std::string("[session]\nset_dns = \"") + r.dns +
                      "\"\n[session_store]\nkind = \"database\"",
                  file);
      ADD_FAILURE() << "accepted " << r.dns;
    } catch (const ConfigError& e) {
      std::string message = e.what();
      EXPECT_NE(message.find(r.says), std::string::npos) << message;
      EXPECT_EQ(message.find("hunter2"), std::string::npos) << message;
    }
  }
}

}  // namespace
}  // namespace tabrix::site
