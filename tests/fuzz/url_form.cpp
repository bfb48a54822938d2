// URL and form decoding: any bytes decode without fault, and what the site
// encodes decodes back to the same bytes and pairs.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "host/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  std::string decoded = tabrix::UrlDecode(bytes);
  FUZZ_CHECK(decoded.size() <= bytes.size());
  size_t pieces = 0;
  for (const auto& [name, value] : tabrix::ParseUrlEncoded(bytes)) {
    FUZZ_CHECK(name.size() + value.size() <= bytes.size());
    ++pieces;
  }
  FUZZ_CHECK(pieces <= static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '&')) + 1);

  // The input cut in two at its first NUL (or its middle) is a name and a
  // value a page writes into a link.
  size_t cut = bytes.find('\0');
  if (cut == std::string_view::npos) cut = bytes.size() / 2;
  std::string_view name = bytes.substr(0, cut);
  std::string_view value = bytes.substr(std::min(cut + 1, bytes.size()));
  std::string encoded_name = tabrix::UrlEncode(name);
  std::string encoded_value = tabrix::UrlEncode(value);
  // Nothing a form or a query splits at survives encoding.
  for (char c : encoded_name + encoded_value)
    FUZZ_CHECK(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '%');
  FUZZ_CHECK(tabrix::UrlDecode(encoded_name) == name);
  FUZZ_CHECK(tabrix::UrlDecode(encoded_value) == value);
  auto pairs = tabrix::ParseUrlEncoded("a=1&" + encoded_name + "=" + encoded_value + "&&z");
  FUZZ_CHECK(pairs.size() == 3);
  FUZZ_CHECK(pairs[0].first == "a" && pairs[0].second == "1");
  FUZZ_CHECK(pairs[1].first == name && pairs[1].second == value);
  FUZZ_CHECK(pairs[2].first == "z" && pairs[2].second.empty());
  return 0;
}
