// `tabrix init`: a commented configuration for an existing database.
//
//   tabrix init [--listen HOST:PORT] [--locale TAG] DATABASE > site.toml
//
// Opens DATABASE (an SQLite file or a postgresql:// URI), reads its tables,
// views, foreign keys and CHECK constraints, and writes the configuration
// on the standard output (site_draft.h). The administrator's new password
// goes to the error stream, shown this once; the file holds its hash. Bad
// usage or a database that cannot be read exits 2 with a message.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tabrix::site {

int RunInitCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

std::string InitUsage();

}  // namespace tabrix::site
