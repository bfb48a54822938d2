#include "host/adodb/connection.h"

#include <atomic>

#include "host/adodb/schema_rowsets.h"
#include "host/variant_ops.h"

namespace tabrix::adodb {

namespace {

std::atomic<std::chrono::milliseconds::rep> statement_timeout_ms{0};

std::string& DataSourceBaseStorage() {
  static std::string base;
  return base;
}

// Holds one link from Open to Close; schema questions, statements and the
// recordsets opened on the object run on it.
class ConnectionImpl : public Connection {
 public:
  ConnectionImpl() = default;
  explicit ConnectionImpl(std::shared_ptr<ConnectionLink> link)
      : link_(std::move(link)), connection_string_(link_->connection_string()) {}

  void Open(const Variant& connection_string) override {
    if (IsOpen()) RaiseError(kErrObjectOpen);
    if (connection_string.IsEmpty() || connection_string.IsNull())
      RaiseError(kErrNoConnection, "no connection string was given");
    if (!connection_string.IsString())
      RaiseError(kErrAdoArguments, "the connection string is not text");
    link_ = ConnectionLink::Open(connection_string.string());
    connection_string_ = connection_string.string();
  }

  void Close() override {
    if (!IsOpen()) RaiseError(kErrObjectClosed);
    link_->Close();
    link_.reset();
  }

  long State() const override { return IsOpen() ? 1 : 0; }

  const std::string& ConnectionString() const override { return connection_string_; }

  std::shared_ptr<Recordset> OpenSchema(const Variant& query_type,
                                        const Variant& restrictions) override {
    ConnectionBackend& db = Link()->backend();
    switch (ToLong(query_type)) {
      case kSchemaColumns: return ColumnsRowset(db, restrictions);
      case kSchemaTables: return TablesRowset(db, restrictions);
      case kSchemaPrimaryKeys: return PrimaryKeysRowset(db, restrictions);
      case kSchemaForeignKeys: return ForeignKeysRowset(db, restrictions);
      case kSchemaCheckConstraints: return CheckConstraintsRowset(db, restrictions);
      default: RaiseError(kErrAdoNotSupported, "schema " + std::to_string(ToLong(query_type)));
    }
  }

  long long Execute(const Variant& sql) override {
    std::shared_ptr<ConnectionLink> link = Link();
    if (!sql.IsString()) RaiseError(kErrAdoArguments, "the command is not SQL text");
    ConnectionBackend& db = link->backend();
    std::string engine_sql = db.Rewrite(sql.string());
    // What the statement changed, even in part, no count kept may miss.
    DropCachedCountsAtEnd drop{db};
    if (link->level() == 0) return db.Execute(engine_sql, {});
    long long changed = 0;
    link->Write([&] { changed = db.Execute(engine_sql, {}); });
    return changed;
  }

  long BeginTrans() override { return Link()->BeginTrans(); }
  void CommitTrans() override { Link()->CommitTrans(); }
  void RollbackTrans() override { Link()->RollbackTrans(); }

  std::shared_ptr<ConnectionLink> Link() const override {
    if (!IsOpen()) RaiseError(kErrObjectClosed, "the connection is closed");
    return link_;
  }

 private:
  // A link closed through another holder (the recordset's own connection
  // object) counts as closed here too.
  bool IsOpen() const { return link_ && link_->is_open(); }

  std::shared_ptr<ConnectionLink> link_;
  std::string connection_string_;
};

}  // namespace

std::shared_ptr<Connection> NewConnection() { return std::make_shared<ConnectionImpl>(); }

std::shared_ptr<Connection> ConnectionOn(std::shared_ptr<ConnectionLink> link) {
  return std::make_shared<ConnectionImpl>(std::move(link));
}

void SetDataSourceBase(std::string folder) { DataSourceBaseStorage() = std::move(folder); }

const std::string& DataSourceBase() { return DataSourceBaseStorage(); }

void SetStatementTimeout(std::chrono::milliseconds timeout) {
  statement_timeout_ms.store(timeout.count() > 0 ? timeout.count() : 0);
}

std::chrono::milliseconds StatementTimeout() {
  return std::chrono::milliseconds(statement_timeout_ms.load());
}

namespace {
thread_local std::optional<std::chrono::steady_clock::time_point> piece_start;
}  // namespace

StatementPiece::StatementPiece() : outer_(piece_start) {
  piece_start = std::chrono::steady_clock::now();
}

StatementPiece::~StatementPiece() { piece_start = outer_; }

std::optional<std::chrono::steady_clock::time_point> StatementPiece::Start() {
  return piece_start;
}

namespace {
std::atomic<long long> connect_timeout_ms{5000};
}  // namespace

void SetConnectTimeout(std::chrono::milliseconds timeout) {
  connect_timeout_ms.store(timeout.count() > 0 ? timeout.count() : 5000);
}

std::chrono::milliseconds ConnectTimeout() {
  return std::chrono::milliseconds(connect_timeout_ms.load());
}

}  // namespace tabrix::adodb
