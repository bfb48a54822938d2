// What a configured site checks and learns from its database before it
// serves: the database of set_dns must open, and with
// foreign_key_relations its declared foreign keys become relations and the
// record pages' lists of referring rows.
#pragma once

#include <ostream>

#include "site/config.h"

namespace tabrix::site {

// Readies `config` to be served. Raises ConfigError when set_dns names a
// database that cannot be opened or read (the engine's reason, never the
// password). Writes a warning on `err` for each [session] key no setting
// reads (setting_names.h) and a line for each foreign key that gives no
// relation.
void PrepareSite(SiteConfig& config, std::ostream& err);

}  // namespace tabrix::site
