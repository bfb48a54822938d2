// Response: the buffered output of one request.
//
// Write() appends to the buffer. Redirect() ends the response: the buffer is
// discarded, the answer becomes the redirect alone, and whatever is written
// afterwards is dropped. The component does not stop when it redirects; it
// returns of its own accord where that matters.
//
// A response may be bounded: set_max_bytes(n) makes a write that would take
// the page's output (every byte written, whether still in the buffer or
// already taken) past n bytes raise 7 (out of memory) and write nothing, so
// a page that writes without end stops.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "host/object.h"

namespace tabrix {

class Response : public Object {
 public:
  std::string_view ClassName() const override { return "Response"; }

  // Appends `text`; raises 7 when it would take the output past the bound.
  virtual void Write(std::string_view text);
  virtual void Redirect(std::string_view url);

  const std::string& buffer() const { return buffer_; }
  const std::optional<std::string>& redirect() const { return redirect_; }
  bool ended() const { return redirect_.has_value(); }
  // Takes the buffer so far (used to attribute output to calls).
  std::string TakeBuffer();

  // The most bytes the page may write; 0 (the default): no bound.
  void set_max_bytes(std::size_t max_bytes) { max_bytes_ = max_bytes; }
  std::size_t max_bytes() const { return max_bytes_; }

 private:
  std::string buffer_;
  std::size_t written_ = 0;    // bytes written so far, taken ones included
  std::size_t max_bytes_ = 0;  // 0: unbounded
  std::optional<std::string> redirect_;
};

}  // namespace tabrix
