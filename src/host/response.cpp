#include "host/response.h"

#include <algorithm>
#include <string>
#include <utility>

#include "host/error.h"

namespace tabrix {

void Response::Write(std::string_view text) {
  if (ended()) return;
  if (max_bytes_ != 0 && text.size() > max_bytes_ - std::min(written_, max_bytes_))
    throw ScriptError(kErrOutOfMemory, "the page's output passed " + std::to_string(max_bytes_) +
                                           " bytes");
  buffer_.append(text);
  written_ += text.size();
}

void Response::Redirect(std::string_view url) {
  if (ended()) return;
  buffer_.clear();
  redirect_ = std::string(url);
}

std::string Response::TakeBuffer() { return std::exchange(buffer_, std::string()); }

}  // namespace tabrix
