#include "support/gunzip.h"

#include <zlib.h>

namespace tabrix::testing {

std::optional<std::string> Gunzip(std::string_view coded) {
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 16) != Z_OK) return std::nullopt;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(coded.data()));
  stream.avail_in = static_cast<uInt>(coded.size());
  std::string plain;
  char chunk[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(chunk);
    stream.avail_out = sizeof chunk;
    result = inflate(&stream, Z_NO_FLUSH);
    plain.append(chunk, sizeof chunk - stream.avail_out);
    if (result == Z_BUF_ERROR && stream.avail_in == 0) break;  // cut short
  }
  bool whole = result == Z_STREAM_END && stream.avail_in == 0;
  inflateEnd(&stream);
  if (!whole) return std::nullopt;
  return plain;
}

}  // namespace tabrix::testing
