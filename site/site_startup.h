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
// password). Writes a line on `err` for each foreign key that gives no
// relation. A configuration without set_dns is left as it is.
void PrepareSite(SiteConfig& config, std::ostream& err);

}  // namespace tabrix::site
