#include "host/response.h"

#include <utility>

namespace tabrix {

void Response::Write(std::string_view text) {
  if (ended()) return;
  buffer_.append(text);
}

void Response::Redirect(std::string_view url) {
  if (ended()) return;
  buffer_.clear();
  redirect_ = std::string(url);
}

std::string Response::TakeBuffer() { return std::exchange(buffer_, std::string()); }

}  // namespace tabrix
