#include "host/text/split.h"

namespace tabrix::text {

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t start = 0;
  for (size_t hit; (hit = text.find(separator, start)) != std::string_view::npos;
       start = hit + separator.size())
    pieces.emplace_back(text.substr(start, hit - start));
  pieces.emplace_back(text.substr(start));
  return pieces;
}

}  // namespace tabrix::text
