#include "site/http/content_coding.h"

#include <zlib.h>

#include <new>
#include <optional>
#include <stdexcept>

#include "host/locale/locale.h"

namespace tabrix::site {

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A qvalue in thousandths: "0", "0.5", "1", "1.000"; nullopt when malformed.
std::optional<int> ParseQuality(std::string_view text) {
  if (text.empty() || (text[0] != '0' && text[0] != '1')) return std::nullopt;
  int whole = text[0] - '0';
  text.remove_prefix(1);
  if (text.empty()) return whole * 1000;
  if (text[0] != '.' || text.size() > 4) return std::nullopt;
  int thousandths = 0, scale = 100;
  for (char c : text.substr(1)) {
    if (c < '0' || c > '9') return std::nullopt;
    thousandths += (c - '0') * scale;
    scale /= 10;
  }
  if (whole == 1 && thousandths > 0) return std::nullopt;
  return whole * 1000 + thousandths;
}

// The quality one Accept-Encoding element gives its coding: 1000 unless a
// "q" parameter says otherwise; 0 for a malformed one.
int QualityOf(std::string_view parameters) {
  int quality = 1000;
  while (!parameters.empty()) {
    size_t semicolon = parameters.find(';');
    std::string_view parameter = TrimBlanks(parameters.substr(0, semicolon));
    parameters = semicolon == std::string_view::npos ? std::string_view()
                                                     : parameters.substr(semicolon + 1);
    size_t equals = parameter.find('=');
    if (equals == std::string_view::npos) continue;
    if (!EqualsIgnoreCase(TrimBlanks(parameter.substr(0, equals)), "q")) continue;
    quality = ParseQuality(TrimBlanks(parameter.substr(equals + 1))).value_or(0);
  }
  return quality;
}

// One thread's deflate state, made on first use and reset between answers.
class Deflater {
 public:
  ~Deflater() {
    if (level_ != 0) deflateEnd(&stream_);
  }

  std::string Compress(std::string_view data, int level) {
    if (level_ != level) {
      if (level_ != 0) deflateEnd(&stream_);
      level_ = 0;
      stream_ = z_stream{};
      // 15 + 16: a 32 KiB window with the gzip header and trailer.
      if (deflateInit2(&stream_, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
      level_ = level;
    } else {
      deflateReset(&stream_);
    }
    // The scratch buffer stays with the thread, so a page's compression
    // allocates only its (much smaller) result.
    scratch_.resize(deflateBound(&stream_, static_cast<uLong>(data.size())));
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream_.avail_in = static_cast<uInt>(data.size());
    stream_.next_out = reinterpret_cast<Bytef*>(scratch_.data());
    stream_.avail_out = static_cast<uInt>(scratch_.size());
    int result = deflate(&stream_, Z_FINISH);
    if (result != Z_STREAM_END) throw std::runtime_error("gzip: the output bound was too small");
    std::string coded(scratch_.data(), stream_.total_out);
    // An unusually large answer does not pin its buffer to the thread.
    if (scratch_.capacity() > kScratchKeptBytes) std::string().swap(scratch_);
    return coded;
  }

 private:
  static constexpr std::size_t kScratchKeptBytes = 1 << 20;
  z_stream stream_{};
  int level_ = 0;  // 0: no stream yet
  std::string scratch_;
};

// Adds "Accept-Encoding" to the answer's Vary, unless it is there already.
void AddVary(HttpResponse& response) {
  std::optional<std::string> vary = response.Header("vary");
  if (!vary) return response.SetHeader("Vary", "Accept-Encoding");
  std::string_view rest = *vary;
  while (!rest.empty()) {
    size_t comma = rest.find(',');
    std::string_view name = TrimBlanks(rest.substr(0, comma));
    if (name == "*" || EqualsIgnoreCase(name, "accept-encoding")) return;
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  }
  response.SetHeader("Vary", *vary + ", Accept-Encoding");
}

}  // namespace

bool AcceptsGzip(std::string_view accept_encoding) {
  std::optional<int> gzip, identity, any;
  while (!accept_encoding.empty()) {
    size_t comma = accept_encoding.find(',');
    std::string_view element = accept_encoding.substr(0, comma);
    accept_encoding = comma == std::string_view::npos ? std::string_view()
                                                      : accept_encoding.substr(comma + 1);
    size_t semicolon = element.find(';');
    std::string_view coding = TrimBlanks(element.substr(0, semicolon));
    int quality =
        semicolon == std::string_view::npos ? 1000 : QualityOf(element.substr(semicolon + 1));
    // The first mention of a coding counts.
    if (EqualsIgnoreCase(coding, "gzip") || EqualsIgnoreCase(coding, "x-gzip")) {
      if (!gzip) gzip = quality;
    } else if (EqualsIgnoreCase(coding, "identity")) {
      if (!identity) identity = quality;
    } else if (coding == "*") {
      if (!any) any = quality;
    }
  }
  // "*" stands for every coding not named, identity included.
  int gzip_quality = gzip.value_or(any.value_or(0));
  if (gzip_quality <= 0) return false;
  // A client that prefers identity outright gets it; a tie goes to gzip.
  std::optional<int> identity_quality = identity ? identity : any;
  return !identity_quality || *identity_quality <= gzip_quality;
}

bool IsCompressibleType(std::string_view content_type) {
  std::string media(TrimBlanks(content_type.substr(0, content_type.find(';'))));
  for (char& c : media)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (media.starts_with("text/")) return true;
  if (media.ends_with("+xml") || media.ends_with("+json")) return true;
  return media == "application/json" || media == "application/javascript" ||
         media == "application/xml";
}

std::string Gzip(std::string_view data, int level) {
  thread_local Deflater deflater;
  return deflater.Compress(data, level);
}

void CompressForClient(const HttpRequest& request, HttpResponse& response) {
  if (request.method == "HEAD") return;
  if (response.status < 200 || response.status == 204 || response.status == 304) return;
  if (response.body.size() <= kGzipMinBytes) return;
  if (response.Header("content-encoding") || response.Header("etag")) return;
  std::optional<std::string> type = response.Header("content-type");
  if (!type || !IsCompressibleType(*type)) return;
  // Caches must keep the coded and the plain answer apart, whichever this
  // client gets.
  AddVary(response);
  std::optional<std::string> accepted = request.Header("accept-encoding");
  if (!accepted || !AcceptsGzip(*accepted)) return;
  response.body = Gzip(response.body);
  response.SetHeader("Content-Encoding", "gzip");
}

}  // namespace tabrix::site
