// The PostgreSQL provider's link to the server: both forms of connection
// string, failures that name what went wrong and never the password, a
// lost link told by the connection's status (503 material: kConnection),
// a commit whose outcome is unknown, the statement timeout, and the
// SQLSTATE of a failure mapped to the facade's kinds.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <chrono>
#include <cstring>
#include <string>

#include "host/adodb/connection.h"
#include "host/adodb/connection_pool.h"
#include "host/adodb/postgres/pg_result.h"
#include "host/adodb/recordset_helpers.h"
#include "host/variant_ops.h"
#include "support/postgres_fixture.h"

namespace tabrix::adodb {
namespace {

using tabrix::testing::PostgresFixture;
using testing::OpenKeyset;
using testing::OpenStatic;
using testing::Raised;

constexpr const char* kItems = R"sql(
  CREATE TABLE Items(Id INTEGER PRIMARY KEY, Code TEXT NOT NULL UNIQUE);
  INSERT INTO Items VALUES (1, 'a'), (2, 'b');
)sql";

// Runs `sql` on the fixture's database outside the facade.
std::string Scalar(const PostgresFixture& db, const std::string& sql) {
  PGconn* link = PQconnectdb(db.libpq_string().c_str());
  PGresult* result = PQexec(link, sql.c_str());
  std::string value = PQntuples(result) > 0 ? PQgetvalue(result, 0, 0) : "";
  PQclear(result);
  PQfinish(link);
  return value;
}

long long BackendPid(Connection& connection) {
  auto rs = NewRecordset();
  rs->Open(Variant("select pg_backend_pid() as pid"), Variant(connection.shared_from_this()),
           Variant(kStatic), Variant(kReadOnly));
  return ToLong(rs->Value(Variant("pid")));
}

void Terminate(const PostgresFixture& db, long long pid) {
  ASSERT_EQ(Scalar(db, "select pg_terminate_backend(" + std::to_string(pid) + ")"), "t");
}

TEST(PostgresConnect, KeywordStringAndUriReachTheDatabase) {
  PostgresFixture db(kItems);
  std::string server = PostgresFixture::ServerString();
  auto value = [&](const char* key) {
    size_t at = server.find(std::string(key) + "=");
    return server.substr(at + std::strlen(key) + 1,
                         server.find(' ', at) == std::string::npos
                             ? std::string::npos
                             : server.find(' ', at) - at - std::strlen(key) - 1);
  };
  std::string uri = "postgresql://" + value("user") + "@/" + db.database() +
                    "?host=" + value("host") + "&port=" + value("port");
  for (const std::string& text : {db.connection_string(), uri}) {
    auto rs = OpenStatic("select count(*) as n, current_database() as d from Items", text);
    EXPECT_EQ(ToLong(rs->Value(Variant("n"))), 2) << text;
    EXPECT_EQ(ConcatText(rs->Value(Variant("d"))), db.database()) << text;
  }
}

TEST(PostgresConnect, FailuresNameTheCauseAndHideThePassword) {
  PostgresFixture db;
  struct {
    std::string connection;
    long number;
    DbFailure failure;
  } cases[] = {
      {"Provider=PostgreSQL;Host=/tmp;User ID=x", kErrAdoArguments, DbFailure::kNone},
      {"Provider=PostgreSQL;Host=/nonexistent-folder;Database=d;Password=s3cret-pw",
       kErrProvider, DbFailure::kConnection},
      {"postgresql://u:s3cret-pw@/d?host=/nonexistent-folder", kErrProvider,
       DbFailure::kConnection},
      {db.connection_string() + "_missing;Password=s3cret-pw", kErrProvider,
       DbFailure::kConnection},
  };
  for (const auto& c : cases) {
    ScriptError error = Raised([&] { OpenStatic("select 1", c.connection); });
    EXPECT_EQ(error.number(), c.number) << c.connection;
    EXPECT_EQ(error.native().failure, c.failure) << error.description();
    EXPECT_EQ(error.description().find("s3cret"), std::string::npos) << error.description();
  }
}

TEST(PostgresConnect, ALostLinkIsAConnectionFailureAndThePoolReplacesIt) {
  PostgresFixture db(kItems);
  ConnectionPool pool;
  ScopedPool scope(pool);
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  long long first = BackendPid(*connection);
  Terminate(db, first);
  ScriptError error = Raised([&] { BackendPid(*connection); });
  EXPECT_EQ(error.number(), kErrProvider);
  EXPECT_EQ(error.native().failure, DbFailure::kConnection) << error.description();
  EXPECT_EQ(error.native().engine, "PostgreSQL");
  connection->Close();  // the broken link is closed, not kept

  auto again = NewConnection();
  again->Open(Variant(db.connection_string()));
  EXPECT_NE(BackendPid(*again), first);
  EXPECT_EQ(pool.connections_opened(), 2);
}

TEST(PostgresConnect, ACommitCutOffIsReportedAsUnknownAndNotRepeated) {
  PostgresFixture db(kItems);
  auto connection = NewConnection();
  connection->Open(Variant(db.connection_string()));
  long long pid = BackendPid(*connection);
  connection->BeginTrans();
  connection->Execute(Variant("insert into Items values (3, 'c')"));
  Terminate(db, pid);
  ScriptError error = Raised([&] { connection->CommitTrans(); });
  EXPECT_EQ(error.number(), kErrProvider);
  EXPECT_EQ(error.native().failure, DbFailure::kConnection);
  EXPECT_NE(error.description().find("the outcome of the last change is unknown"),
            std::string::npos)
      << error.description();
  connection->Close();
  // Here the server rolled it back; what matters is that nothing ran it again.
  EXPECT_EQ(Scalar(db, "select count(*) from \"Items\""), "2");
}

TEST(PostgresConnect, TheStatementTimeoutCancelsAndTheConnectionServesOn) {
  PostgresFixture db(kItems);
  SetStatementTimeout(std::chrono::milliseconds(200));
  auto start = std::chrono::steady_clock::now();
  ScriptError error = Raised([&] { OpenStatic("select pg_sleep(10)", db.connection_string()); });
  auto took = std::chrono::steady_clock::now() - start;
  SetStatementTimeout(std::chrono::milliseconds(0));
  EXPECT_EQ(error.native().failure, DbFailure::kTimeout) << error.description();
  EXPECT_EQ(error.native().code, "57014");
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_EQ(OpenStatic("select count(*) from Items", db.connection_string())->RecordCount(), 1);
  // Back to no limit: a pooled connection takes the new setting too.
  EXPECT_EQ(ToLong(OpenStatic("select 1 from pg_sleep(0.3)", db.connection_string())
                       ->Value(Variant(0))),
            1);
}

TEST(PostgresConnect, FailuresCarryTheirSqlstateAndKind) {
  struct {
    const char* state;
    DbFailure failure;
  } states[] = {
      {"23505", DbFailure::kConstraint}, {"23502", DbFailure::kConstraint},
      {"40001", DbFailure::kBusy},       {"40P01", DbFailure::kBusy},
      {"55P03", DbFailure::kBusy},       {"57014", DbFailure::kTimeout},
      {"08006", DbFailure::kConnection}, {"57P01", DbFailure::kConnection},
      {"42P01", DbFailure::kStatement},  {"42601", DbFailure::kStatement},
      {"22012", DbFailure::kOther},      {"", DbFailure::kOther},
  };
  for (const auto& s : states) EXPECT_EQ(postgres::PostgresFailure(s.state), s.failure) << s.state;

  PostgresFixture db(kItems);
  struct {
    const char* sql;
    const char* state;
  } failing[] = {
      {"select * from NoSuchTable", "42P01"},
      {"select from where", "42601"},
      {"select 1 / 0", "22012"},
  };
  for (const auto& f : failing) {
    ScriptError error = Raised([&] { OpenStatic(f.sql, db.connection_string()); });
    EXPECT_EQ(error.number(), kErrProvider) << f.sql;
    EXPECT_EQ(error.native().engine, "PostgreSQL");
    EXPECT_EQ(error.native().code, f.state) << f.sql << ": " << error.description();
  }
  auto rs = OpenKeyset("select * from Items", db.connection_string());
  rs->AddNew();
  rs->SetValue(Variant("Code"), Variant("a"));
  ScriptError duplicate = Raised([&] { rs->Update(); });
  EXPECT_EQ(duplicate.native().failure, DbFailure::kConstraint);
  EXPECT_EQ(duplicate.native().code, "23505");
}

}  // namespace
}  // namespace tabrix::adodb
