// Static files under "/assets/" and "/images/": the program's own, built
// into the binary, or a file of the same path under the site root, which
// overrides it. A path never leaves the site root: "..", NUL bytes and
// links that point outside are refused as not found.
//
// Files are served from memory: the built-in ones are prepared once, with
// their ETag and, for text, their gzip form; an override is read when first
// asked for and kept while its size, times and inode stay the same, so an
// edited file is served from the next request on (one changed in the last
// moments is read for each request). A request costs one stat of the
// override's path. What is kept of overrides is bounded (files, bytes); a
// file too large to keep is read for each request.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "site/http/http_message.h"

namespace tabrix::site {

class StaticFiles {
 public:
  struct Limits {
    std::size_t max_files = 256;             // override files kept
    std::size_t max_bytes = 16 << 20;        // their bytes, plain and gzip
    std::size_t max_file_bytes = 1 << 20;    // a larger one is not kept
    // A file changed this recently is read again for each request: an
    // edit of the same size within the file system's clock tick would
    // leave its size and times as they were.
    std::chrono::seconds settle{2};
  };

  explicit StaticFiles(std::filesystem::path site_root) : StaticFiles(std::move(site_root), Limits()) {}
  StaticFiles(std::filesystem::path site_root, Limits limits);
  ~StaticFiles();
  StaticFiles(const StaticFiles&) = delete;
  StaticFiles& operator=(const StaticFiles&) = delete;

  // Answers a GET or HEAD of a static file: 200 with Content-Type (with a
  // charset for text), ETag (a hash of the content, another for its gzip
  // form) and Cache-Control; text over a kilobyte gzip-coded when the
  // request accepts it, with "Vary: Accept-Encoding"; 304 when
  // If-None-Match names either ETag of the file; 404 for an unknown or
  // refused path; 405 for other methods. A HEAD answer has no body.
  // Safe to call from several threads at once.
  HttpResponse Serve(const HttpRequest& request);

  // Override files kept at the moment (for tests of the bound).
  std::size_t kept_files() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The Content-Type of a file name by its extension.
std::string ContentTypeOf(std::string_view path);

}  // namespace tabrix::site
