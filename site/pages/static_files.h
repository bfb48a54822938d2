// Static files under "/assets/" and "/images/": the program's own, built
// into the binary, or a file of the same path under the site root, which
// overrides it. A path never leaves the site root: "..", NUL bytes and
// links that point outside are refused as not found.
#pragma once

#include <filesystem>

#include "site/http/http_message.h"

namespace tabrix::site {

// Answers a GET or HEAD of a static file: 200 with Content-Type (with a
// charset for text), ETag (a hash of the content) and Cache-Control; 304
// when If-None-Match names the ETag; 404 for an unknown or refused path;
// 405 for other methods.
HttpResponse ServeStaticFile(const HttpRequest& request, const std::filesystem::path& site_root);

// The Content-Type of a file name by its extension.
std::string ContentTypeOf(std::string_view path);

}  // namespace tabrix::site
