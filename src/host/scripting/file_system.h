// FileSystemObject and TextStream: reading text files.
//
// OpenTextFile opens a file for reading (mode 1, the only one the component
// uses; other modes raise 5); a missing file raises 53. ReadAll gives the
// whole text as UTF-8: a file that is valid UTF-8 is taken as it is (a
// leading byte-order mark dropped), any other file is read as Windows-1252.
#pragma once

#include <string>
#include <string_view>

#include "host/object.h"
#include "host/variant.h"

namespace tabrix::scripting {

class TextStream : public Object {
 public:
  explicit TextStream(std::string text) : text_(std::move(text)) {}
  std::string_view ClassName() const override { return "TextStream"; }

  // The rest of the text; raises 62 at the end of a non-empty stream.
  std::string ReadAll();
  // The next line without its line break; raises 62 at the end.
  std::string ReadLine();
  bool AtEndOfStream() const { return pos_ >= text_.size(); }
  void Close() {}

 private:
  std::string text_;
  size_t pos_ = 0;
};

class FileSystemObject : public Object {
 public:
  std::string_view ClassName() const override { return "FileSystemObject"; }

  std::shared_ptr<TextStream> OpenTextFile(std::string_view path, long io_mode = 1);
  bool FileExists(std::string_view path) const;
};

// Decodes file bytes: UTF-8 when valid (without a BOM), else Windows-1252.
std::string DecodeTextFile(std::string_view bytes);

}  // namespace tabrix::scripting
