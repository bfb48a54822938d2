#include "host/adodb/connection.h"
#include "host/adodb/keyset_rows.h"
#include "host/adodb/recordset_impl.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"

namespace tabrix::adodb {

namespace {

// A cursor or lock type argument; `fallback` when not given.
long OptionalNumber(const Variant& value, long fallback, long low, long high, const char* what) {
  if (value.IsEmpty() || value.IsNull()) return fallback;
  long number = static_cast<long>(ToLong(value));
  if (number == -1) return fallback;  // "unspecified"
  if (number < low || number > high)
    RaiseError(kErrAdoArguments,
               std::string(what) + " " + std::to_string(number) + " is not valid");
  return number;
}

// The link a recordset opened with `active_connection` runs on: the
// Connection object's own, or a new one for a connection string.
std::shared_ptr<ConnectionLink> LinkFor(const Variant& active_connection) {
  if (active_connection.IsObject()) {
    auto& connection = ObjectAs<Connection>(active_connection);
    if (connection.State() == 0) RaiseError(kErrNoConnection, "the connection is closed");
    return connection.Link();
  }
  if (active_connection.IsEmpty() || active_connection.IsNull())
    RaiseError(kErrNoConnection, "no connection was given");
  if (!active_connection.IsString())
    RaiseError(kErrAdoArguments, "the connection is neither a connection string nor a Connection");
  return ConnectionLink::Open(active_connection.string());
}

}  // namespace

Variant RecordsetField::Value() const { return Owner().ColumnValue(column_); }

void RecordsetField::SetValue(const Variant& value) { Owner().SetColumnValue(column_, value); }

RecordsetImpl& RecordsetField::Owner() const {
  std::shared_ptr<Object> owner = owner_.lock();
  if (!owner) RaiseError(kErrObjectClosed);
  auto& recordset = static_cast<RecordsetImpl&>(*owner);
  // Closed, the recordset's own check raises 3704. Opened again, this field
  // names a column of an earlier result: its position means nothing now.
  if (recordset.State() == 1 && recordset.opening() != opening_)
    RaiseError(kErrObjectNotValid, "the field '" + info_.name + "' belongs to an earlier open");
  return recordset;
}

std::shared_ptr<Field> RecordsetFields::Item(const Variant& index_or_name) const {
  return fields_[static_cast<size_t>(owner_.ColumnIndex(index_or_name))];
}

RecordsetImpl::RecordsetImpl(SqlObserver observer)
    : observer_(std::move(observer)), fields_(*this) {}

RecordsetImpl::~RecordsetImpl() {
  if (!rows_) return;
  try {
    rows_->Close();
  } catch (...) {
    // Nothing can be reported from a destructor; the pool rolls back.
  }
}

void RecordsetImpl::RequireOpen() const {
  if (!rows_) RaiseError(kErrObjectClosed);
}

void RecordsetImpl::RequireClosed() const {
  if (rows_) RaiseError(kErrObjectOpen);
}

void RecordsetImpl::RequireWritable() const {
  RequireOpen();
  if (read_only_ || !rows_->writable())
    RaiseError(kErrAdoNotSupported, "the recordset is read-only");
}

void RecordsetImpl::RequireCurrent() const {
  if (!HasCurrent()) RaiseError(kErrNoCurrentRecord);
}

void RecordsetImpl::Open(const Variant& source, const Variant& active_connection,
                         const Variant& cursor_type, const Variant& lock_type) {
  RequireClosed();
  if (!source.IsString() || source.string().empty())
    RaiseError(kErrAdoArguments, "the source is not SQL text");
  const std::string& sql = source.string();
  if (observer_) observer_(sql);
  long cursor = OptionalNumber(cursor_type, kForwardOnly, kForwardOnly, kStatic, "cursor type");
  long lock = OptionalNumber(lock_type, kReadOnly, kReadOnly, kBatchOptimistic, "lock type");

  std::shared_ptr<ConnectionLink> link = LinkFor(active_connection);
  ConnectionBackend& db = link->backend();
  std::string engine_sql = db.Rewrite(sql);
  std::unique_ptr<RowSource> rows;
  if (lock == kReadOnly)
    rows = db.OpenStaticRows(link, std::move(engine_sql), cache_size_);
  else
    rows = std::make_unique<KeysetRows>(link, std::move(engine_sql));
  link_ = std::move(link);
  Start(std::move(rows), cursor, lock == kReadOnly);
}

std::shared_ptr<Connection> RecordsetImpl::ActiveConnection() {
  RequireOpen();
  if (!link_) RaiseError(kErrAdoNotSupported, "the recordset runs on no connection");
  if (!active_connection_) active_connection_ = ConnectionOn(link_);
  return active_connection_;
}

void RecordsetImpl::OpenOn(std::unique_ptr<RowSource> rows, long cursor_type) {
  RequireClosed();
  Start(std::move(rows), cursor_type, true);
}

void RecordsetImpl::SetCacheSize(std::int64_t records) {
  cache_size_ = records < 1 ? 1 : records;
  if (rows_) rows_->SetCacheSize(cache_size_);
}

void RecordsetImpl::Start(std::unique_ptr<RowSource> rows, long cursor_type, bool read_only) {
  rows_ = std::move(rows);
  rows_->SetCacheSize(cache_size_);
  ++opening_;
  cursor_type_ = cursor_type;
  read_only_ = read_only;
  fields_.fields_.clear();
  folded_names_.clear();
  const std::vector<ColumnInfo>& columns = rows_->columns();
  for (size_t i = 0; i < columns.size(); ++i) {
    fields_.fields_.push_back(std::make_shared<RecordsetField>(
        weak_from_this(), opening_, static_cast<int>(i), columns[i]));
    folded_names_.push_back(FoldCase(columns[i].name));
  }
  edit_mode_ = EditMode::kNone;
  pending_.clear();
  current_deleted_ = false;
  GoTo(0);
}

void RecordsetImpl::Close() {
  RequireOpen();
  edit_mode_ = EditMode::kNone;
  pending_.clear();
  std::unique_ptr<RowSource> rows = std::move(rows_);
  fields_.fields_.clear();
  folded_names_.clear();
  bof_ = eof_ = true;
  position_ = -1;
  rows->Close();
  rows.reset();
  active_connection_.reset();
  link_.reset();
}

bool RecordsetImpl::Eof() const {
  RequireOpen();
  return eof_;
}

bool RecordsetImpl::Bof() const {
  RequireOpen();
  return bof_;
}

void RecordsetImpl::GoTo(std::int64_t target) {
  current_deleted_ = false;
  if (target < 0) {
    position_ = -1;
    bof_ = true;
    eof_ = false;
  } else if (rows_->Seek(target)) {
    position_ = target;
    bof_ = eof_ = false;
  } else {
    position_ = -1;
    eof_ = true;
    bof_ = target == 0;  // no first row: the result is empty
  }
}

void RecordsetImpl::FlushEdit() {
  if (edit_mode_ != EditMode::kNone) Update();
}

void RecordsetImpl::MoveNext() {
  RequireOpen();
  FlushEdit();
  if (eof_) RaiseError(kErrNoCurrentRecord);
  GoTo(current_deleted_ ? position_ : position_ + 1);
}

void RecordsetImpl::MoveFirst() {
  RequireOpen();
  FlushEdit();
  GoTo(0);
}

void RecordsetImpl::MoveLast() {
  RequireOpen();
  FlushEdit();
  std::int64_t count = rows_->Count();
  GoTo(count == 0 ? 0 : count - 1);
}

void RecordsetImpl::Move(std::int64_t n) {
  RequireOpen();
  FlushEdit();
  if (n == 0) {
    RequireCurrent();
    return;
  }
  std::int64_t from;
  if (current_deleted_) {
    from = n > 0 ? position_ - 1 : position_;
  } else if (eof_) {
    if (n > 0 || bof_) RaiseError(kErrNoCurrentRecord);
    from = rows_->Count();
  } else if (bof_) {
    if (n < 0) RaiseError(kErrNoCurrentRecord);
    from = -1;
  } else {
    from = position_;
  }
  std::int64_t target;
  if (__builtin_add_overflow(from, n, &target))
    RaiseError(kErrAdoArguments,
               "moving " + std::to_string(n) + " records goes beyond the range of positions");
  GoTo(target);
}

std::int64_t RecordsetImpl::RecordCount() {
  RequireOpen();
  if (cursor_type_ == kForwardOnly) return -1;
  return rows_->Count();
}

std::int64_t RecordsetImpl::AbsolutePosition() {
  RequireOpen();
  return HasCurrent() ? position_ + 1 : -1;
}

int RecordsetImpl::ColumnIndex(const Variant& index_or_name) const {
  RequireOpen();
  if (index_or_name.IsString()) {
    // The exact spelling first: "email" is not "Email" when both exist.
    const std::string& name = index_or_name.string();
    const std::vector<ColumnInfo>& columns = rows_->columns();
    for (size_t i = 0; i < columns.size(); ++i)
      if (columns[i].name == name) return static_cast<int>(i);
    std::string folded = FoldCase(name);
    for (size_t i = 0; i < folded_names_.size(); ++i)
      if (folded_names_[i] == folded) return static_cast<int>(i);
    RaiseError(kErrItemNotFound, "'" + index_or_name.string() + "'");
  }
  if (index_or_name.IsNumericType() && index_or_name.type() != VarType::Date) {
    std::int64_t index = ToLong(index_or_name);
    if (index >= 0 && index < static_cast<std::int64_t>(folded_names_.size()))
      return static_cast<int>(index);
    RaiseError(kErrItemNotFound, std::to_string(index));
  }
  RaiseError(kErrItemNotFound);
}

Variant RecordsetImpl::ColumnValue(int column) const {
  RequireOpen();
  if (edit_mode_ != EditMode::kNone && pending_[static_cast<size_t>(column)])
    return *pending_[static_cast<size_t>(column)];
  if (edit_mode_ == EditMode::kAdding) return Variant::Null();
  RequireCurrent();
  return rows_->Value(column);
}

void RecordsetImpl::SetColumnValue(int column, const Variant& value) {
  RequireWritable();
  if (!rows_->columns()[static_cast<size_t>(column)].writable)
    RaiseError(
        kErrAdoNotSupported,
        "the field '" + rows_->columns()[static_cast<size_t>(column)].name + "' cannot be written");
  if (edit_mode_ == EditMode::kNone) {
    RequireCurrent();
    edit_mode_ = EditMode::kEditing;
    pending_.assign(rows_->columns().size(), std::nullopt);
  }
  pending_[static_cast<size_t>(column)] = value;
}

Variant RecordsetImpl::Value(const Variant& index_or_name) {
  return ColumnValue(ColumnIndex(index_or_name));
}

void RecordsetImpl::SetValue(const Variant& index_or_name, const Variant& value) {
  SetColumnValue(ColumnIndex(index_or_name), value);
}

void RecordsetImpl::AddNew() {
  RequireWritable();
  FlushEdit();
  saved_position_ = position_;
  saved_bof_ = bof_, saved_eof_ = eof_, saved_deleted_ = current_deleted_;
  edit_mode_ = EditMode::kAdding;
  pending_.assign(rows_->columns().size(), std::nullopt);
  bof_ = eof_ = current_deleted_ = false;
}

void RecordsetImpl::Update() {
  RequireWritable();
  if (edit_mode_ == EditMode::kNone) return;
  // On failure the edit stays pending, so the caller may correct or cancel it.
  if (edit_mode_ == EditMode::kAdding) {
    std::int64_t index = rows_->Insert(pending_);
    edit_mode_ = EditMode::kNone;
    pending_.clear();
    GoTo(index);
  } else {
    rows_->Change(position_, pending_);
    edit_mode_ = EditMode::kNone;
    pending_.clear();
    GoTo(position_);
  }
}

void RecordsetImpl::CancelUpdate() {
  RequireOpen();
  if (edit_mode_ == EditMode::kAdding) {
    position_ = saved_position_;
    bof_ = saved_bof_, eof_ = saved_eof_, current_deleted_ = saved_deleted_;
    if (HasCurrent()) rows_->Seek(position_);
  }
  edit_mode_ = EditMode::kNone;
  pending_.clear();
}

void RecordsetImpl::Delete() {
  RequireWritable();
  if (edit_mode_ == EditMode::kAdding) {
    CancelUpdate();
    return;
  }
  RequireCurrent();
  edit_mode_ = EditMode::kNone;
  pending_.clear();
  rows_->Remove(position_);
  current_deleted_ = true;
}

std::shared_ptr<Recordset> NewRecordset(SqlObserver observer) {
  return std::make_shared<RecordsetImpl>(std::move(observer));
}

}  // namespace tabrix::adodb
