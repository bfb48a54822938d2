// Response: the buffered output of one request.
//
// Write() appends to the buffer. Redirect() ends the response: the buffer is
// discarded, the answer becomes the redirect alone, and whatever is written
// afterwards is dropped. The component does not stop when it redirects; it
// returns of its own accord where that matters.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/object.h"

namespace tabrix {

class Response : public Object {
 public:
  std::string_view ClassName() const override { return "Response"; }

  virtual void Write(std::string_view text);
  virtual void Redirect(std::string_view url);

  const std::string& buffer() const { return buffer_; }
  const std::optional<std::string>& redirect() const { return redirect_; }
  bool ended() const { return redirect_.has_value(); }
  // Takes the buffer so far (used to attribute output to calls).
  std::string TakeBuffer();

 private:
  std::string buffer_;
  std::optional<std::string> redirect_;
};

}  // namespace tabrix
