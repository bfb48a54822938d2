#include "site/pages/static_files.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "host/error.h"
#include "host/locale/locale.h"
#include "host/server.h"
#include "site/pages/embedded_files.h"

namespace tabrix::site {

namespace fs = std::filesystem;

namespace {

struct TypeByExtension {
  std::string_view extension;
  std::string_view type;
};

constexpr TypeByExtension kTypes[] = {
    {".css", "text/css; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".html", "text/html; charset=utf-8"},
    {".htm", "text/html; charset=utf-8"},
    {".txt", "text/plain; charset=utf-8"},
    {".csv", "text/csv; charset=utf-8"},
    {".json", "application/json; charset=utf-8"},
    {".svg", "image/svg+xml; charset=utf-8"},
    {".gif", "image/gif"},
    {".png", "image/png"},
    {".jpg", "image/jpeg"},
    {".jpeg", "image/jpeg"},
    {".ico", "image/x-icon"},
    {".webp", "image/webp"},
    {".woff", "font/woff"},
    {".woff2", "font/woff2"},
};

// A strong validator: FNV-1a over the bytes, as 16 hex digits in quotes.
std::string ETagOf(std::string_view content) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : content) {
    hash ^= c;
    hash *= 0x100000001b3ULL;
  }
  static const char kHex[] = "0123456789abcdef";
  std::string tag = "\"";
  for (int shift = 60; shift >= 0; shift -= 4) tag += kHex[(hash >> shift) & 15];
  return tag + "\"";
}

// Whether If-None-Match ("a", "b" or *) names `etag` (weak tags match too).
bool MatchesETag(const std::string& header, const std::string& etag) {
  size_t at = 0;
  while (at < header.size()) {
    size_t end = header.find(',', at);
    if (end == std::string::npos) end = header.size();
    std::string_view tag(header.data() + at, end - at);
    while (!tag.empty() && tag.front() == ' ') tag.remove_prefix(1);
    while (!tag.empty() && tag.back() == ' ') tag.remove_suffix(1);
    if (tag.starts_with("W/")) tag.remove_prefix(2);
    if (tag == "*" || tag == etag) return true;
    at = end + 1;
  }
  return false;
}

// A site path a file may have: no NUL, no backslash, no empty, "." or
// ".." segment.
bool IsPlainPath(std::string_view path) {
  if (path.find('\0') != std::string_view::npos || path.find('\\') != std::string_view::npos)
    return false;
  size_t at = 1;
  while (at <= path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string_view::npos) end = path.size();
    std::string_view segment = path.substr(at, end - at);
    if (segment.empty() || segment == "." || segment == "..") return false;
    at = end + 1;
  }
  return true;
}

// The overriding file under the site root, when there is one.
std::optional<std::string> SiteFile(const fs::path& site_root, std::string_view path) {
  std::string mapped;
  try {
    // MapPath refuses a path that resolves outside the root, links included.
    mapped = Server(site_root).MapPath(path);
  } catch (const ScriptError&) {
    return std::nullopt;
  }
  std::error_code ec;
  if (!fs::is_regular_file(mapped, ec)) return std::nullopt;
  std::ifstream in(mapped, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::optional<std::string_view> BuiltInFile(std::string_view path) {
  const std::vector<EmbeddedFile>& files = EmbeddedFiles();
  auto it = std::find_if(files.begin(), files.end(),
                         [&](const EmbeddedFile& file) { return file.path == path; });
  if (it == files.end()) return std::nullopt;
  return it->content;
}

HttpResponse PlainStatus(int status, std::string_view text) {
  HttpResponse response;
  response.status = status;
  response.SetHeader("Content-Type", "text/plain; charset=utf-8");
  response.body = std::string(text) + "\n";
  return response;
}

}  // namespace

std::string ContentTypeOf(std::string_view path) {
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
    std::string_view extension = path.substr(dot);
    for (const TypeByExtension& type : kTypes)
      if (EqualsIgnoreCase(extension, type.extension)) return std::string(type.type);
  }
  return "application/octet-stream";
}

HttpResponse ServeStaticFile(const HttpRequest& request, const fs::path& site_root) {
  if (request.method != "GET" && request.method != "HEAD") {
    HttpResponse response = PlainStatus(405, "Method Not Allowed");
    response.SetHeader("Allow", "GET, HEAD");
    return response;
  }
  if (!IsPlainPath(request.path)) return PlainStatus(404, "Not Found");
  std::string content;
  if (std::optional<std::string> file = SiteFile(site_root, request.path)) {
    content = std::move(*file);
  } else if (std::optional<std::string_view> built_in = BuiltInFile(request.path)) {
    content = std::string(*built_in);
  } else {
    return PlainStatus(404, "Not Found");
  }

  HttpResponse response;
  std::string etag = ETagOf(content);
  response.SetHeader("ETag", etag);
  // Short enough that an override shows soon; the ETag makes rechecks cheap.
  response.SetHeader("Cache-Control", "public, max-age=3600");
  response.SetHeader("X-Content-Type-Options", "nosniff");
  std::optional<std::string> if_none_match = request.Header("if-none-match");
  if (if_none_match && MatchesETag(*if_none_match, etag)) {
    response.status = 304;
    return response;
  }
  response.SetHeader("Content-Type", ContentTypeOf(request.path));
  // A HEAD answer carries the headers alone.
  if (request.method == "GET") response.body = std::move(content);
  return response;
}

}  // namespace tabrix::site
