#include "host/adodb/fault_injection.h"

#include "host/adodb/row_source.h"

namespace tabrix::adodb {

void FaultPlan::Count(const char* what, const std::string& engine) {
  std::int64_t n = ++calls_;
  if (n != fail_at_.load()) return;
  failed_ = true;
  RaiseProviderError("injected fault in " + std::string(what) + " (database call " +
                         std::to_string(n) + ")",
                     {engine, "injected", DbFailure::kInjected});
}

namespace {

class FaultyStatement : public StatementBackend {
 public:
  FaultyStatement(std::unique_ptr<StatementBackend> inner, std::shared_ptr<FaultPlan> plan,
                  std::string engine)
      : inner_(std::move(inner)), plan_(std::move(plan)), engine_(std::move(engine)) {}

  void Bind(int position, const Variant& value) override {
    plan_->Count("Bind", engine_);
    inner_->Bind(position, value);
  }
  bool Step() override {
    plan_->Count("Step", engine_);
    return inner_->Step();
  }
  int ColumnCount() const override { return inner_->ColumnCount(); }
  std::vector<ColumnInfo> DescribeColumns() override { return inner_->DescribeColumns(); }
  Variant Value(int column, long type) const override { return inner_->Value(column, type); }

 private:
  std::unique_ptr<StatementBackend> inner_;
  std::shared_ptr<FaultPlan> plan_;
  std::string engine_;
};

class FaultyConnection : public ConnectionBackend {
 public:
  FaultyConnection(std::unique_ptr<ConnectionBackend> inner, std::shared_ptr<FaultPlan> plan,
                   std::string engine)
      : inner_(std::move(inner)), plan_(std::move(plan)), engine_(std::move(engine)) {}

  const sql::Dialect& dialect() const override { return inner_->dialect(); }
  std::string Rewrite(std::string_view legacy_sql) const override {
    return inner_->Rewrite(legacy_sql);
  }
  std::unique_ptr<StatementBackend> Prepare(std::string_view sql) override {
    Count("Prepare");
    return std::make_unique<FaultyStatement>(inner_->Prepare(sql), plan_, engine_);
  }
  std::int64_t Execute(std::string_view sql, const std::vector<Variant>& values) override {
    Count("Execute");
    return inner_->Execute(sql, values);
  }
  // The inner backend's row source reads through the link, whose backend is
  // this wrapper, so its statements are counted too.
  std::unique_ptr<RowSource> OpenStaticRows(std::shared_ptr<ConnectionLink> link,
                                            std::string sql, std::int64_t window) override {
    return inner_->OpenStaticRows(std::move(link), std::move(sql), window);
  }
  void BeginRead() override { Count("BeginRead"), inner_->BeginRead(); }
  void BeginWrite() override { Count("BeginWrite"), inner_->BeginWrite(); }
  void Commit() override { Count("Commit"), inner_->Commit(); }
  void Rollback() override { Count("Rollback"), inner_->Rollback(); }
  bool InTransaction() const override { return inner_->InTransaction(); }
  void Savepoint(std::string_view name) override { Count("Savepoint"), inner_->Savepoint(name); }
  void ReleaseSavepoint(std::string_view name) override {
    Count("ReleaseSavepoint");
    inner_->ReleaseSavepoint(name);
  }
  void RollbackToSavepoint(std::string_view name) override {
    Count("RollbackToSavepoint");
    inner_->RollbackToSavepoint(name);
  }
  std::optional<std::string> DataToken() override {
    Count("DataToken");
    return inner_->DataToken();
  }
  bool Healthy() override { return inner_->Healthy(); }
  bool Alive(bool round_trip) override { return inner_->Alive(round_trip); }
  std::vector<TableEntry> ListTables() override {
    Count("ListTables");
    return inner_->ListTables();
  }
  TableInfo DescribeTable(const TableRef& table) override {
    Count("DescribeTable");
    return inner_->DescribeTable(table);
  }
  std::vector<ForeignKey> ListForeignKeys() override {
    Count("ListForeignKeys");
    return inner_->ListForeignKeys();
  }
  std::vector<CheckConstraint> ListCheckConstraints() override {
    Count("ListCheckConstraints");
    return inner_->ListCheckConstraints();
  }
  RowCondition InsertRow(const TableInfo& table, const std::vector<std::string>& columns,
                         const std::vector<Variant>& values) override {
    Count("InsertRow");
    return inner_->InsertRow(table, columns, values);
  }
  RowCondition LocateRow(const TableInfo& table, const std::vector<std::string>& columns,
                         const std::vector<Variant>& values) override {
    Count("LocateRow");
    return inner_->LocateRow(table, columns, values);
  }
  std::int64_t UpdateRows(const TableInfo& table, const std::vector<std::string>& columns,
                          const std::vector<Variant>& values, const RowCondition& where) override {
    Count("UpdateRows");
    return inner_->UpdateRows(table, columns, values, where);
  }
  std::int64_t DeleteRows(const TableInfo& table, const RowCondition& where) override {
    Count("DeleteRows");
    return inner_->DeleteRows(table, where);
  }

 private:
  void Count(const char* what) { plan_->Count(what, engine_); }

  std::unique_ptr<ConnectionBackend> inner_;
  std::shared_ptr<FaultPlan> plan_;
  std::string engine_;
};

}  // namespace

FaultInjectingProvider::FaultInjectingProvider(std::shared_ptr<const Provider> inner,
                                               std::shared_ptr<FaultPlan> plan)
    : inner_(std::move(inner)), plan_(std::move(plan)) {}

std::unique_ptr<ConnectionBackend> FaultInjectingProvider::Connect(
    const ConnectionString& parts) const {
  std::string engine(inner_->Name());
  plan_->Count("Connect", engine);
  return std::make_unique<FaultyConnection>(inner_->Connect(parts), plan_, engine);
}

}  // namespace tabrix::adodb
