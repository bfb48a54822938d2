#include "host/scripting/file_system.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/error.h"
#include "host/text/windows1252.h"
#include "host/text/utf8.h"

namespace tabrix::scripting {

std::string TextStream::ReadAll() {
  if (AtEndOfStream() && !text_.empty()) RaiseError(kErrInputPastEnd);
  std::string out = text_.substr(pos_);
  pos_ = text_.size();
  return out;
}

std::string TextStream::ReadLine() {
  if (AtEndOfStream()) RaiseError(kErrInputPastEnd);
  size_t end = text_.find('\n', pos_);
  if (end == std::string::npos) end = text_.size();
  std::string line = text_.substr(pos_, end - pos_);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  pos_ = end + 1;
  return line;
}

std::shared_ptr<TextStream> FileSystemObject::OpenTextFile(std::string_view path,
                                                           long io_mode) {
  if (io_mode != 1) RaiseError(kErrInvalidArgument, "only reading (mode 1) is supported");
  std::filesystem::path p{std::string(path)};
  std::error_code ec;
  if (!std::filesystem::is_regular_file(p, ec)) RaiseError(kErrFileNotFound, std::string(path));
  std::ifstream in(p, std::ios::binary);
  if (!in) RaiseError(kErrFileNotFound, std::string(path));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return std::make_shared<TextStream>(DecodeTextFile(bytes.str()));
}

bool FileSystemObject::FileExists(std::string_view path) const {
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path{std::string(path)}, ec);
}

std::string DecodeTextFile(std::string_view bytes) {
  if (text::IsValidUtf8(bytes)) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
  }
  return text::Windows1252ToUtf8(bytes);
}

}  // namespace tabrix::scripting
