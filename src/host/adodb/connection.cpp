#include "host/adodb/connection.h"

#include "host/adodb/connection_pool.h"
#include "host/adodb/schema_rowsets.h"
#include "host/variant_ops.h"

namespace tabrix::adodb {

namespace {

std::string& DataSourceBaseStorage() {
  static std::string base;
  return base;
}

// Holds one pooled connection from Open to Close; schema questions and
// Execute run on it.
class ConnectionImpl : public Connection {
 public:
  void Open(const Variant& connection_string) override {
    if (connection_) RaiseError(kErrObjectOpen);
    if (connection_string.IsEmpty() || connection_string.IsNull())
      RaiseError(kErrNoConnection, "no connection string was given");
    if (!connection_string.IsString())
      RaiseError(kErrAdoArguments, "the connection string is not text");
    connection_ = ConnectionPool::Global().Acquire(connection_string.string());
    connection_string_ = connection_string.string();
  }

  void Close() override {
    if (!connection_) RaiseError(kErrObjectClosed);
    connection_.Release();
  }

  long State() const override { return connection_ ? 1 : 0; }

  const std::string& ConnectionString() const override { return connection_string_; }

  std::shared_ptr<Recordset> OpenSchema(const Variant& query_type,
                                        const Variant& restrictions) override {
    if (!connection_) RaiseError(kErrObjectClosed);
    switch (ToLong(query_type)) {
      case kSchemaColumns: return ColumnsRowset(*connection_, restrictions);
      case kSchemaTables: return TablesRowset(*connection_, restrictions);
      default: RaiseError(kErrAdoNotSupported, "schema " + std::to_string(ToLong(query_type)));
    }
  }

  long long Execute(const Variant& sql) override {
    if (!connection_) RaiseError(kErrObjectClosed);
    if (!sql.IsString()) RaiseError(kErrAdoArguments, "the command is not SQL text");
    return connection_->Execute(connection_->Rewrite(sql.string()), {});
  }

 private:
  PooledConnection connection_;
  std::string connection_string_;
};

}  // namespace

std::shared_ptr<Connection> NewConnection() { return std::make_shared<ConnectionImpl>(); }

void SetDataSourceBase(std::string folder) { DataSourceBaseStorage() = std::move(folder); }

const std::string& DataSourceBase() { return DataSourceBaseStorage(); }

}  // namespace tabrix::adodb
