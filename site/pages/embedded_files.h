// The program's own static files (stylesheet, script, images), built into
// the binary from site/assets/ and site/images/ by the build, so the site
// looks right whatever its site root holds.
#pragma once

#include <string_view>
#include <vector>

namespace tabrix::site {

struct EmbeddedFile {
  std::string_view path;     // the site path, "/assets/tabrix.css"
  std::string_view content;  // the file's bytes
};

// Every embedded file, sorted by path. Built once; safe to share.
const std::vector<EmbeddedFile>& EmbeddedFiles();

}  // namespace tabrix::site
