// What the server checks in a parsed request head and how it hands the
// head's fields to a page (internal to http_connection.cpp). Apart from any
// socket, so a head parsed from memory goes through the very same checks in
// the fuzz targets.
#pragma once

// GCC 12 in C++20 mode needs <utility> before Asio.
#include <utility>

#include <boost/beast/http.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace tabrix::site::http_internal {

// ASCII lower case.
std::string Lower(std::string_view text);
// `text` without blanks and tabs at either end.
std::string_view Trim(std::string_view text);

// The status that refuses the parsed head (400), or 0 when it is
// acceptable: control characters in a value, a bad, missing or repeated
// Host, a Content-Length that is not digits or is repeated, a transfer
// coding other than one "chunked" (or beside a length, or in HTTP/1.0),
// a target that is not origin-form.
int CheckHead(const boost::beast::http::request_header<>& head);

// The head's fields as HttpRequest keeps them: names lower case, values
// without blanks at either end, in order.
std::vector<std::pair<std::string, std::string>> HeaderFields(
    const boost::beast::http::request_header<>& head);

}  // namespace tabrix::site::http_internal
