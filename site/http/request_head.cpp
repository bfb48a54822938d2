#include "site/http/request_head.h"

#include <cctype>

#include "site/http/request_target.h"

namespace tabrix::site::http_internal {

namespace http = boost::beast::http;

namespace {

// Beast 1.74 hands out boost::string_view.
std::string_view Sv(boost::beast::string_view text) { return {text.data(), text.size()}; }

// Only a single "chunked" is a transfer coding this server reads.
bool IsPlainChunked(const std::vector<std::string_view>& values) {
  std::string joined;
  for (std::string_view value : values) {
    if (!joined.empty()) joined += ',';
    joined += value;
  }
  return Lower(Trim(joined)) == "chunked";
}

}  // namespace

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

int CheckHead(const http::request_header<>& head) {
  // The parser has refused every version but 1.0 and 1.1.
  int hosts = 0, lengths = 0;
  std::vector<std::string_view> codings;
  for (const auto& field : head) {
    std::string name = Lower(Sv(field.name_string()));
    std::string_view value = Sv(field.value());
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return 400;
    if (name == "host") {
      ++hosts;
      if (!IsValidHostValue(Trim(value))) return 400;
    } else if (name == "content-length") {
      // Digits only: the parser would merge a list of equal values ("3, 3").
      ++lengths;
      if (value.empty() || value.find_first_not_of("0123456789") != std::string_view::npos)
        return 400;
    } else if (name == "transfer-encoding") {
      codings.push_back(value);
    }
  }
  // HTTP/1.0 may leave Host out; nobody may send two.
  if (hosts > 1 || (hosts == 0 && head.version() >= 11)) return 400;
  if (lengths > 1) return 400;
  if (!codings.empty() && (head.version() < 11 || lengths > 0 || !IsPlainChunked(codings)))
    return 400;
  if (!ParseOriginTarget(Sv(head.target()))) return 400;
  return 0;
}

std::vector<std::pair<std::string, std::string>> HeaderFields(const http::request_header<>& head) {
  std::vector<std::pair<std::string, std::string>> fields;
  for (const auto& field : head)
    fields.emplace_back(Lower(Sv(field.name_string())), std::string(Trim(Sv(field.value()))));
  return fields;
}

}  // namespace tabrix::site::http_internal
