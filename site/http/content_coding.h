// Compression of answers for the clients that accept it: gzip when the
// request's Accept-Encoding allows it, the answer is text over a kilobyte,
// and the handler has not already chosen a coding of its own. Apart from any
// socket, so negotiation and framing are tested on their own.
#pragma once

#include <string>
#include <string_view>

#include "site/http/http_message.h"

namespace tabrix::site {

// Answers at most this long go out as they are: the gzip header and
// trailer would eat what little compression saves.
inline constexpr std::size_t kGzipMinBytes = 1024;

// zlib's level 2. On a 61 KB list page (bench/gzip_level_bench) levels 1
// and 2 cost the same, about 80 us, and level 2 codes it 3% smaller (8.4 KB,
// 7.4:1); level 3 saves 2% more for 15% more CPU, level 6 15% more for
// four and a half times the CPU.
inline constexpr int kGzipLevel = 2;

// Whether an Accept-Encoding value lets the answer be gzip-coded: "gzip"
// (or "x-gzip") or "*" with a q above 0, and not below an explicit
// "identity". Names ignore case; a malformed q counts as 0. An absent
// header is identity only.
bool AcceptsGzip(std::string_view accept_encoding);

// Whether a Content-Type names text that compresses (HTML, CSS, script,
// JSON, XML, SVG, CSV); images and archives are compressed already.
bool IsCompressibleType(std::string_view content_type);

// `data` as a gzip member at `level` (1..9). The deflate state is kept per
// thread and reused: making one costs a quarter of a megabyte.
std::string Gzip(std::string_view data, int level = kGzipLevel);

// Codes `response` for `request` in place: a compressible answer over
// kGzipMinBytes to a GET or POST gets "Vary: Accept-Encoding", and, when
// the request accepts gzip, a gzip body and "Content-Encoding: gzip". Left
// alone: HEAD (no body to code), 1xx/204/304, an answer with a
// Content-Encoding of its own, and one with an ETag (a validator names the
// bytes sent; the static files code themselves).
void CompressForClient(const HttpRequest& request, HttpResponse& response);

}  // namespace tabrix::site
