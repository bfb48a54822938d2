#include "host/adodb/one_transaction.h"

#include <memory>

#include "host/adodb/connection.h"

namespace tabrix::adodb {

void InOneTransaction(Recordset& rs, const std::function<void()>& writes) {
  std::shared_ptr<Connection> connection = rs.ActiveConnection();
  connection->BeginTrans();
  try {
    writes();
    connection->CommitTrans();
  } catch (...) {
    // The first failure is the one to report. A write still pending is
    // dropped, so no later move can store it; should the rollback fail too,
    // closing the recordset gives its connection back rolled back.
    try {
      if (rs.State() == 1) rs.CancelUpdate();
      connection->RollbackTrans();
    } catch (...) {
      try {
        rs.Close();
      } catch (...) {
      }
    }
    throw;
  }
}

}  // namespace tabrix::adodb
