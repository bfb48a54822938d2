// Connection strings: keys ignoring case, quoted values, and the errors of
// an empty or malformed string.
#include "host/adodb/connection_string.h"

#include <gtest/gtest.h>

#include "recordset_helpers.h"

namespace tabrix::adodb {
namespace {

using testing::Raised;

TEST(ConnectionString, ReadsKeysIgnoringCaseAndQuotedValues) {
  struct {
    const char* text;
    const char* key;
    const char* value;
  } cases[] = {
      {"Provider=SQLite;Data Source=/tmp/a.db", "data source", "/tmp/a.db"},
      {"provider=sqlite; DATA SOURCE = site.db ;", "Data Source", "site.db"},
      {"Provider=SQLite;Data Source=\"C:\\a;b=c.db\"", "data source", "C:\\a;b=c.db"},
      {"Provider=SQLite;Data Source='it''s.db'", "data source", "it's.db"},
      {"Provider=SQLite;;Data Source=a.db;Data Source=b.db", "data source", "b.db"},
      {"Provider=SQLite;User ID=", "user id", ""},
  };
  for (const auto& c : cases) {
    ConnectionString parsed = ConnectionString::Parse(c.text);
    EXPECT_EQ(parsed.Get(c.key).value_or("<absent>"), c.value) << c.text;
  }
  EXPECT_EQ(ConnectionString::Parse("PROVIDER=SQLite").provider(), "SQLite");
  EXPECT_FALSE(ConnectionString::Parse("Provider=SQLite").Get("data source").has_value());
}

TEST(ConnectionString, UriStandsForPostgreSql) {
  ConnectionString parsed = ConnectionString::Parse("postgresql://u@host/db");
  EXPECT_EQ(parsed.provider(), "PostgreSQL");
  EXPECT_EQ(parsed.Get("uri").value_or(""), "postgresql://u@host/db");
}

// No message shows a password, wherever the connection string holds it.
TEST(ConnectionString, RedactingHidesEveryPassword) {
  struct {
    const char* text;
    const char* redacted;
  } cases[] = {
      {"Provider=PostgreSQL;Host=h;Password=s3cret;User ID=u",
       "Provider=PostgreSQL;Host=h;Password=***;User ID=u"},
      {"Provider=PostgreSQL;pwd = 's3;cret'", "Provider=PostgreSQL;pwd = ***"},
      {"postgresql://bob:s3cret@h:5432/db", "postgresql://bob:***@h:5432/db"},
      {"postgres://bob@h/db?sslmode=require&password=s3cret",
       "postgres://bob@h/db?sslmode=require&password=***"},
      // A URI as a key's value, quoted or not.
      {"Provider=PostgreSQL;uri=postgresql://bob:s3cret@h/db;Mode=Read",
       "Provider=PostgreSQL;uri=postgresql://bob:***@h/db;Mode=Read"},
      {"Provider=PostgreSQL;uri=\"postgres://bob:s%33cret@h/db?password=other\";Mode=Read",
       "Provider=PostgreSQL;uri=\"postgres://bob:***@h/db?password=***\";Mode=Read"},
      {"Provider=SQLite;Data Source=/a/b.db", "Provider=SQLite;Data Source=/a/b.db"},
  };
  for (const auto& c : cases) EXPECT_EQ(RedactPassword(c.text), c.redacted) << c.text;
}

TEST(ConnectionString, RejectsEmptyAndMalformedText) {
  struct {
    const char* text;
    long number;
    const char* mentions;
  } cases[] = {
      {"", kErrNoConnection, "empty"},
      {"   ", kErrNoConnection, "empty"},
      {"Data Source=a.db", kErrAdoArguments, "no Provider"},
      {"Provider=;Data Source=a.db", kErrAdoArguments, "no Provider"},
      {"Provider=SQLite;a.db", kErrAdoArguments, "'a.db' has no '='"},
      {"Provider=SQLite;Data Source=\"a.db", kErrAdoArguments, "no closing quote"},
      {"Provider=SQLite;Data Source=\"a\" b", kErrAdoArguments, "follows the quoted value"},
      {"=x;Provider=SQLite", kErrAdoArguments, "no key"},
  };
  for (const auto& c : cases) {
    ScriptError error = Raised([&] { ConnectionString::Parse(c.text); });
    EXPECT_EQ(error.number(), c.number) << c.text;
    EXPECT_NE(error.description().find(c.mentions), std::string::npos)
        << c.text << ": " << error.description();
  }
}

}  // namespace
}  // namespace tabrix::adodb
