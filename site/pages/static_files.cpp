#include "site/pages/static_files.h"

#include <fcntl.h>
#include <time.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "host/error.h"
#include "host/locale/locale.h"
#include "host/server.h"
#include "site/http/content_coding.h"
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

// The file's bytes are compressed once, as well as zlib can.
constexpr int kStaticGzipLevel = 9;

// A strong validator: FNV-1a over the bytes, as 16 hex digits in quotes;
// the gzip form's tag adds "-gz" inside the quotes.
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

// A site path a file may have: it starts with "/" and holds no NUL, no
// backslash, no empty, "." or ".." segment.
bool IsPlainPath(std::string_view path) {
  if (!path.starts_with('/')) return false;
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

HttpResponse PlainStatus(int status, std::string_view text) {
  HttpResponse response;
  response.status = status;
  response.SetHeader("Content-Type", "text/plain; charset=utf-8");
  response.body = std::string(text) + "\n";
  return response;
}

// What tells one version of a file from the next: an edit changes its
// size or times, a replacement (an editor's rename) its inode.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static FileIdentity Of(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  }
  bool operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
  }
};

// One file as it is served: its bytes, their gzip form when worth having,
// the validators and the type.
struct Prepared {
  std::string content;
  std::string gzipped;  // empty: always served plain
  std::string etag, gzip_etag;
  std::string type;
  FileIdentity identity;  // of an override file

  std::size_t bytes() const { return content.size() + gzipped.size(); }
};

std::shared_ptr<const Prepared> Prepare(std::string_view site_path, std::string content,
                                        bool compress) {
  auto file = std::make_shared<Prepared>();
  file->type = ContentTypeOf(site_path);
  file->etag = ETagOf(content);
  if (compress && content.size() > kGzipMinBytes && IsCompressibleType(file->type)) {
    std::string gzipped = Gzip(content, kStaticGzipLevel);
    if (gzipped.size() < content.size()) {
      file->gzipped = std::move(gzipped);
      file->gzip_etag = file->etag.substr(0, file->etag.size() - 1) + "-gz\"";
    }
  }
  file->content = std::move(content);
  return file;
}

// Reads the regular file at `path`; nullopt when it cannot. `identity` is
// taken from the open file before reading, so a write that races the read
// changes the file's times after it and the next request reads it again.
std::optional<std::string> ReadFile(const std::string& path, FileIdentity* identity) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> content;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    *identity = FileIdentity::Of(st);
    content.emplace();
    content->resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < content->size()) {
      ssize_t got = ::read(fd, content->data() + done, content->size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    content->resize(done);  // a file that shrank meanwhile
  }
  ::close(fd);
  return content;
}

}  // namespace

struct StaticFiles::State {
  struct Kept {
    std::shared_ptr<const Prepared> file;
    std::uint64_t last_used = 0;
  };

  State(fs::path root, Limits l) : site_root(std::move(root)), limits(l) {
    for (const EmbeddedFile& file : EmbeddedFiles())
      built_in.emplace(std::string(file.path),
                       Prepare(file.path, std::string(file.content), /*compress=*/true));
  }

  // The override of `site_path` at `joined` (which exists, `now` its
  // identity): the kept one while it is the same file, else read again.
  std::shared_ptr<const Prepared> Override(const std::string& site_path, const std::string& joined,
                                           const FileIdentity& now);
  // Keeps `file` for `site_path`, dropping the files used longest ago
  // while the bounds would be passed.
  void Keep(const std::string& site_path, std::shared_ptr<const Prepared> file);
  void Forget(const std::string& site_path);
  // Whether the file was last changed at least `limits.settle` ago.
  bool Settled(const FileIdentity& identity) const;

  const fs::path site_root;
  const Limits limits;
  std::unordered_map<std::string, std::shared_ptr<const Prepared>> built_in;

  mutable std::mutex mutex;  // guards what follows
  std::unordered_map<std::string, Kept> overrides;
  std::size_t kept_bytes = 0;
  std::uint64_t clock = 0;
};

std::shared_ptr<const Prepared> StaticFiles::State::Override(const std::string& site_path,
                                                             const std::string& joined,
                                                             const FileIdentity& now) {
  {
    std::lock_guard lock(mutex);
    auto it = overrides.find(site_path);
    if (it != overrides.end() && it->second.file->identity == now) {
      it->second.last_used = ++clock;
      return it->second.file;
    }
  }
  try {
    // MapPath refuses a path that resolves outside the root, links included.
    Server(site_root).MapPath(site_path);
  } catch (const ScriptError&) {
    return nullptr;
  }
  FileIdentity identity;
  std::optional<std::string> content = ReadFile(joined, &identity);
  if (!content) return nullptr;
  bool keep = content->size() <= limits.max_file_bytes && Settled(identity);
  // A file read for every request is not compressed for every request.
  auto file = std::const_pointer_cast<Prepared>(Prepare(site_path, std::move(*content), keep));
  file->identity = identity;
  if (keep) {
    Keep(site_path, file);
  } else {
    Forget(site_path);
  }
  return file;
}

void StaticFiles::State::Keep(const std::string& site_path, std::shared_ptr<const Prepared> file) {
  std::lock_guard lock(mutex);
  if (auto it = overrides.find(site_path); it != overrides.end()) {
    kept_bytes -= it->second.file->bytes();
    overrides.erase(it);
  }
  while (!overrides.empty() && (overrides.size() >= limits.max_files ||
                                kept_bytes + file->bytes() > limits.max_bytes)) {
    auto oldest = std::min_element(overrides.begin(), overrides.end(), [](const auto& a, const auto& b) {
      return a.second.last_used < b.second.last_used;
    });
    kept_bytes -= oldest->second.file->bytes();
    overrides.erase(oldest);
  }
  if (overrides.size() >= limits.max_files || file->bytes() > limits.max_bytes) return;
  kept_bytes += file->bytes();
  overrides.emplace(site_path, Kept{std::move(file), ++clock});
}

void StaticFiles::State::Forget(const std::string& site_path) {
  std::lock_guard lock(mutex);
  if (auto it = overrides.find(site_path); it != overrides.end()) {
    kept_bytes -= it->second.file->bytes();
    overrides.erase(it);
  }
}

bool StaticFiles::State::Settled(const FileIdentity& identity) const {
  if (limits.settle.count() <= 0) return true;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  time_t last = std::max(identity.modified.tv_sec, identity.changed.tv_sec);
  // In whole seconds, rounded against keeping.
  return now.tv_sec - last > limits.settle.count();
}

StaticFiles::StaticFiles(fs::path site_root, Limits limits)
    : state_(std::make_unique<State>(std::move(site_root), limits)) {}

StaticFiles::~StaticFiles() = default;

std::size_t StaticFiles::kept_files() const {
  std::lock_guard lock(state_->mutex);
  return state_->overrides.size();
}

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

HttpResponse StaticFiles::Serve(const HttpRequest& request) {
  if (request.method != "GET" && request.method != "HEAD") {
    HttpResponse response = PlainStatus(405, "Method Not Allowed");
    response.SetHeader("Allow", "GET, HEAD");
    return response;
  }
  if (!IsPlainPath(request.path)) return PlainStatus(404, "Not Found");

  // A plain path stays under the root when joined; only a link can lead
  // out, which Override checks before it reads.
  std::string joined = (state_->site_root / request.path.substr(1)).string();
  std::shared_ptr<const Prepared> file;
  struct stat st {};
  if (::stat(joined.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    file = state_->Override(request.path, joined, FileIdentity::Of(st));
  if (!file) {
    auto it = state_->built_in.find(request.path);
    if (it == state_->built_in.end()) return PlainStatus(404, "Not Found");
    file = it->second;
  }

  bool gzip = !file->gzipped.empty() && AcceptsGzip(request.Header("accept-encoding").value_or(""));
  HttpResponse response;
  response.SetHeader("ETag", gzip ? file->gzip_etag : file->etag);
  // Short enough that an override shows soon; the ETag makes rechecks cheap.
  response.SetHeader("Cache-Control", "public, max-age=3600");
  response.SetHeader("X-Content-Type-Options", "nosniff");
  if (!file->gzipped.empty()) response.SetHeader("Vary", "Accept-Encoding");
  std::optional<std::string> if_none_match = request.Header("if-none-match");
  // Either form's tag names the same file.
  if (if_none_match && (MatchesETag(*if_none_match, file->etag) ||
                        (!file->gzipped.empty() && MatchesETag(*if_none_match, file->gzip_etag)))) {
    response.status = 304;
    return response;
  }
  response.SetHeader("Content-Type", file->type);
  if (gzip) response.SetHeader("Content-Encoding", "gzip");
  // A HEAD answer carries the headers alone.
  if (request.method == "GET") response.body = gzip ? file->gzipped : file->content;
  return response;
}

}  // namespace tabrix::site
