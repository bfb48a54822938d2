#include "host/adodb/row_source.h"

namespace tabrix::adodb {

std::int64_t RowSource::Insert(const PendingValues&) { RaiseError(kErrAdoNotSupported); }

void RowSource::Change(std::int64_t, const PendingValues&) { RaiseError(kErrAdoNotSupported); }

void RowSource::Remove(std::int64_t) { RaiseError(kErrAdoNotSupported); }

}  // namespace tabrix::adodb
