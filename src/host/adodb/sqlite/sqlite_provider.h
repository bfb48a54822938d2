// The SQLite provider: "Provider=SQLite;Data Source=PATH".
//
// A relative PATH is taken from DataSourceBase(). The file must exist: the
// provider opens it read-write (read-only with "Mode=Read") and never
// creates it. The database's journal mode is left as it is unless "Journal
// Mode=" asks for DELETE, TRUNCATE, PERSIST, MEMORY or WAL (any letter
// case; WAL stays with the file). Each new connection gets a busy timeout
// of 5 seconds, the process's page cache budget and memory mapping
// (sqlite_memory.h) and the case-folding LIKE.
#pragma once

#include "host/adodb/backend.h"

namespace tabrix::adodb::sqlite {

class SqliteProvider : public Provider {
 public:
  std::string_view Name() const override { return "SQLite"; }
  // Raises 3001 without a Data Source, for a Mode or Journal Mode it does
  // not know and for a Journal Mode on a read-only connection;
  // kErrProvider (kConnection) with SQLite's message and the path when the
  // file cannot be opened as a database, saying so when it does not exist,
  // and when the journal mode asked for cannot be applied.
  std::unique_ptr<ConnectionBackend> Connect(const ConnectionString& parts) const override;
};

}  // namespace tabrix::adodb::sqlite
