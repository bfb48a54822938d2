// Helpers shared by the database facade's tests.
#pragma once

#include <memory>
#include <string>

#include "host/adodb/connection.h"
#include "host/adodb/recordset.h"
#include "host/error.h"

namespace tabrix::adodb::testing {

// The static read-only cursor of the reading pages.
inline std::shared_ptr<Recordset> OpenStatic(const std::string& sql,
                                             const std::string& connection) {
  auto rs = NewRecordset();
  rs->Open(Variant(sql), Variant(connection), Variant(kStatic), Variant(kReadOnly));
  return rs;
}

// The keyset cursor of the writing pages.
inline std::shared_ptr<Recordset> OpenKeyset(const std::string& sql,
                                             const std::string& connection) {
  auto rs = NewRecordset();
  rs->Open(Variant(sql), Variant(connection), Variant(kKeyset), Variant(kOptimistic));
  return rs;
}

// The error `body` raises; number 0 when it raises none.
template <class Body>
ScriptError Raised(Body body) {
  try {
    body();
  } catch (const ScriptError& error) {
    return error;
  }
  return ScriptError(0, "");
}

}  // namespace tabrix::adodb::testing
