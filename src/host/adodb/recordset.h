// Recordset: the database library's result and cursor, as the component
// calls it.
//
// Open(sql, connection_string, cursor_type, lock_type) runs a query through
// the provider named by the connection string. The SQL is in the legacy
// dialect (bracketed names, "top N", date literals as text); the provider
// rewrites it for its engine. Cursor 3 with lock 1 is the static read-only
// cursor of the reading pages: RecordCount and Move answer without holding
// the whole result (count and a window of rows are read in one snapshot,
// held until Close or release). Cursor 1 with lock 3 is the keyset cursor of
// the writing pages: AddNew + value assignments + Update inserts one row with
// bound parameters and leaves it current (its key readable); Update after
// assignments on a current row and Delete address the row by its primary key
// or row id.
//
// The recordset runs on a connection link (connection_link.h): its own when
// opened with a connection string, the Connection object's when opened on
// one. ActiveConnection hands out a Connection object over that link, so a
// caller can run a transaction on the connection the recordset uses.
//
// Errors: 3704 on a closed recordset, 3705 opening an open one, 3021 with no
// current record, 3265 for an unknown field, 3420 for a field kept from an
// earlier open, 3251 writing through a read-only cursor, 3706 unknown
// provider, 3709 missing connection string, and provider failures as
// kErrProvider with the provider's own message.
// A Recordset is used by one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/adodb/field.h"
#include "host/object.h"
#include "host/variant.h"

namespace tabrix::adodb {

class Connection;

enum CursorType : long { kForwardOnly = 0, kKeyset = 1, kDynamic = 2, kStatic = 3 };
enum LockType : long { kReadOnly = 1, kPessimistic = 2, kOptimistic = 3, kBatchOptimistic = 4 };

// Called with each SQL text handed to Open, as the caller wrote it.
using SqlObserver = std::function<void(const std::string&)>;

class Recordset : public Object {
 public:
  std::string_view ClassName() const override { return "Recordset"; }

  // Runs `source` (SQL text) on the connection given by `active_connection`
  // (a connection string, or a Connection object).
  virtual void Open(const Variant& source, const Variant& active_connection,
                    const Variant& cursor_type, const Variant& lock_type) = 0;
  virtual void Close() = 0;
  // 1 when open, 0 when closed.
  virtual long State() const = 0;
  // The connection the open recordset runs on; raises 3704 when closed.
  virtual std::shared_ptr<Connection> ActiveConnection() = 0;

  // EOF is a macro in C++: Eof() stands for the member EOF.
  virtual bool Eof() const = 0;
  virtual bool Bof() const = 0;
  virtual void MoveNext() = 0;
  virtual void MoveFirst() = 0;
  virtual void MoveLast() = 0;
  // Moves `n` records from the current one (negative: backwards). Moving
  // past the end leaves EOF true, before the start BOF true; moving from
  // EOF forwards or from BOF backwards raises 3021; a target beyond the
  // 64-bit range of positions raises 3001 and leaves the cursor where it was.
  virtual void Move(std::int64_t n) = 0;
  // The number of records; -1 for a forward-only cursor.
  virtual std::int64_t RecordCount() = 0;
  // How many records moving forward may fetch from the database at once
  // (at least 1, the default): a page of n records sets n, so an engine
  // with a round trip per fetch reads the page in one. Kept across opens.
  virtual void SetCacheSize(std::int64_t /*records*/) {}
  // 1-based position of the current record, -1 when there is none.
  virtual std::int64_t AbsolutePosition() = 0;

  virtual Fields& fields() = 0;
  // The default lookup rs(name or index): the current row's value.
  virtual Variant Value(const Variant& index_or_name) = 0;
  // Assigns a field of the row being added or edited.
  virtual void SetValue(const Variant& index_or_name, const Variant& value) = 0;

  virtual void AddNew() = 0;
  virtual void Update() = 0;
  virtual void CancelUpdate() = 0;
  virtual void Delete() = 0;
};

// A new, closed recordset. `observer`, when set, sees every SQL text handed
// to Open.
std::shared_ptr<Recordset> NewRecordset(SqlObserver observer = {});

}  // namespace tabrix::adodb
