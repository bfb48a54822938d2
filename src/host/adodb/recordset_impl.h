// RecordsetImpl: the Recordset of recordset.h over a RowSource.
//
// The recordset keeps the cursor state (position, BOF, EOF, a deleted
// current row) and the pending edit (AddNew or assignments on the current
// row); its RowSource keeps the rows. Opening on SQL picks the source by
// lock type: read-only (1, or not given) reads through a WindowRows, any
// other lock through KeysetRows. Moving with an edit pending writes it
// first, as ADO's immediate update mode does; Close discards it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/adodb/connection_link.h"
#include "host/adodb/recordset.h"
#include "host/adodb/row_source.h"

namespace tabrix::adodb {

class RecordsetImpl;

// One column of an open recordset; reads the recordset's current row. It
// belongs to one open of its recordset (`opening`): the result of a later
// open may have other columns, or fewer.
class RecordsetField : public Field {
 public:
  RecordsetField(std::weak_ptr<Object> owner, std::uint64_t opening, int column,
                 const ColumnInfo& info)
      : owner_(std::move(owner)), opening_(opening), column_(column), info_(info) {}
  const std::string& Name() const override { return info_.name; }
  long Type() const override { return info_.type; }
  long Attributes() const override { return info_.attributes; }
  long DefinedSize() const override { return info_.defined_size; }
  // Raise 3704 once the recordset is closed or gone, 3420 once it has been
  // opened again.
  Variant Value() const override;
  void SetValue(const Variant& value) override;

 private:
  RecordsetImpl& Owner() const;
  std::weak_ptr<Object> owner_;
  std::uint64_t opening_;
  int column_;
  ColumnInfo info_;
};

class RecordsetFields : public Fields {
 public:
  explicit RecordsetFields(const RecordsetImpl& owner) : owner_(owner) {}
  long Count() const override { return static_cast<long>(fields_.size()); }
  std::shared_ptr<Field> Item(const Variant& index_or_name) const override;

 private:
  friend class RecordsetImpl;
  const RecordsetImpl& owner_;
  std::vector<std::shared_ptr<RecordsetField>> fields_;
};

class RecordsetImpl : public Recordset {
 public:
  explicit RecordsetImpl(SqlObserver observer = {});
  ~RecordsetImpl() override;
  RecordsetImpl(const RecordsetImpl&) = delete;
  RecordsetImpl& operator=(const RecordsetImpl&) = delete;

  // Opens on rows made elsewhere (the schema rowsets), as a static cursor.
  // The recordset must be owned by a shared_ptr.
  void OpenOn(std::unique_ptr<RowSource> rows, long cursor_type = kStatic);

  void Open(const Variant& source, const Variant& active_connection, const Variant& cursor_type,
            const Variant& lock_type) override;
  void Close() override;
  long State() const override { return rows_ ? 1 : 0; }
  std::shared_ptr<Connection> ActiveConnection() override;

  bool Eof() const override;
  bool Bof() const override;
  void MoveNext() override;
  void MoveFirst() override;
  void MoveLast() override;
  void Move(std::int64_t n) override;
  void SetCacheSize(std::int64_t records) override;
  std::int64_t RecordCount() override;
  std::int64_t AbsolutePosition() override;

  Fields& fields() override { return fields_; }
  Variant Value(const Variant& index_or_name) override;
  void SetValue(const Variant& index_or_name, const Variant& value) override;

  void AddNew() override;
  void Update() override;
  void CancelUpdate() override;
  void Delete() override;

  // Counts the opens; the fields made by an open carry its number.
  std::uint64_t opening() const { return opening_; }

  // Column number for a 0-based position or a name (ignoring case);
  // raises 3265 when there is none.
  int ColumnIndex(const Variant& index_or_name) const;
  // Column `column` of the current row, or of the row being edited.
  Variant ColumnValue(int column) const;
  void SetColumnValue(int column, const Variant& value);

 private:
  enum class EditMode { kNone, kEditing, kAdding };

  void RequireOpen() const;
  void RequireClosed() const;
  void RequireWritable() const;
  bool HasCurrent() const { return !bof_ && !eof_ && !current_deleted_; }
  void RequireCurrent() const;
  // Makes row `target` current: before the first row sets BOF, past the
  // last sets EOF.
  void GoTo(std::int64_t target);
  // Writes a pending edit before the cursor moves.
  void FlushEdit();
  void Start(std::unique_ptr<RowSource> rows, long cursor_type, bool read_only);

  SqlObserver observer_;
  std::uint64_t opening_ = 0;
  RecordsetFields fields_;
  std::unique_ptr<RowSource> rows_;  // null while closed
  std::int64_t cache_size_ = 1;
  // The link the rows run on (none for rows made in memory), and the
  // connection object ActiveConnection handed out for it.
  std::shared_ptr<ConnectionLink> link_;
  std::shared_ptr<Connection> active_connection_;
  std::vector<std::string> folded_names_;
  long cursor_type_ = kForwardOnly;
  bool read_only_ = true;

  std::int64_t position_ = -1;  // the current row's index while HasCurrent()
  bool bof_ = true;
  bool eof_ = true;
  // The current row was deleted; position_ is the index of the row after it.
  bool current_deleted_ = false;

  EditMode edit_mode_ = EditMode::kNone;
  PendingValues pending_;
  // The cursor before AddNew, restored by CancelUpdate.
  std::int64_t saved_position_ = -1;
  bool saved_bof_ = true, saved_eof_ = true, saved_deleted_ = false;
};

}  // namespace tabrix::adodb
