// A database named on the command line (`tabrix serve DATABASE`,
// `tabrix init DATABASE`): an SQLite file or a postgresql:// address,
// opened, read and drafted into a site with a fresh administrator.
#pragma once

#include <string>
#include <vector>

#include "site/outline/site_draft.h"

namespace tabrix::site {

// The connection string a site opens for `database`: a postgresql:// or
// postgres:// URI as it stands, anything else an SQLite file (absolute, so
// the configuration reads the same from any folder). `read_only` opens it
// read-only. Raises ConfigError when the file does not exist, or when
// `read_only` is false and this user may not write the file or its folder.
std::string ConnectionStringFor(const std::string& database, bool read_only);

struct DraftedSite {
  SiteDraft draft;
  std::vector<std::string> relation_notes;  // the foreign keys that gave no relation
  std::string password;  // the administrator's, in clear: shown once
};

// Opens `options.set_dns`, reads the database's outline and drafts its site
// with a new random administrator password and encryption key (the options'
// own are replaced). Raises ConfigError with the engine's reason (never the
// password) when the database cannot be opened or read.
DraftedSite DraftSiteFor(DraftOptions options);

}  // namespace tabrix::site
