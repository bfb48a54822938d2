// A commented configuration for an existing database: what `tabrix init`
// prints and what `tabrix serve DATABASE` serves. Every table and view is
// listed, with its list and search fields chosen by type, the relations of
// its foreign keys, the value lists of its CHECK (column IN (...))
// constraints, the Delete and Export actions and one administrator. Each
// setting is explained where it appears, so an owner edits rather than
// writes.
#pragma once

#include <string>
#include <vector>

#include "site/outline/database_outline.h"
#include "site/outline/foreign_key_relations.h"

namespace tabrix::site {

struct DraftOptions {
  std::string database;        // as the owner named it, for the heading
  std::string set_dns;         // the connection string the site opens
  std::string encrypt_key;     // keys the table codes in links
  std::string admin_password;  // as stored: an argon2id hash
  bool read_only = false;      // view permission only, no actions offered
  std::string listen = "127.0.0.1:8080";
  std::string locale = "en-US";
};

struct SiteDraft {
  std::string toml;
  // What was left out and why (a table whose name a permission entry cannot
  // hold, a twin's own list settings): for the log. The relations' own
  // notes are theirs.
  std::vector<std::string> notes;
};

SiteDraft DraftSite(const DatabaseOutline& outline, const DerivedRelations& relations,
                    const DraftOptions& options);

}  // namespace tabrix::site
