// The SQLite provider: "Provider=SQLite;Data Source=PATH".
//
// A relative PATH is taken from DataSourceBase(). The file must exist: the
// provider opens it read-write and never creates it. Each new connection
// gets WAL journaling, a busy timeout of 5 seconds, the process's page cache
// budget and memory mapping (sqlite_memory.h) and the case-folding LIKE.
#pragma once

#include "host/adodb/backend.h"

namespace tabrix::adodb::sqlite {

class SqliteProvider : public Provider {
 public:
  std::string_view Name() const override { return "SQLite"; }
  // Raises 3001 without a Data Source; kErrProvider with SQLite's message
  // and the path when the file cannot be opened as a database.
  std::unique_ptr<ConnectionBackend> Connect(const ConnectionString& parts) const override;
};

}  // namespace tabrix::adodb::sqlite
