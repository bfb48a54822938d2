// The text of a file of the web site. Every step is allowed to fail: a
// missing, unreadable or empty file, or a path that leaves the site root,
// gives an Empty result and no error. A path holding a NUL byte is the one
// error that reaches the caller (5): it is not a failed read but a path the
// file system would cut short, and it comes from outside.
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "component/tabrix1.h"
#include "host/scripting/file_system.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

// Runs one step; a failure is dropped and the next step runs.
template <class Step>
void Try(Step&& step) {
  try {
    step();
  } catch (const std::exception&) {
  }
}

}  // namespace

Variant Tabrix1::GetFile(const Variant& FileName) {
  if (FileName.IsString() && FileName.string().find('\0') != std::string::npos)
    RaiseError(kErrInvalidArgument, "the path holds a NUL byte");

  Variant result;
  std::shared_ptr<scripting::FileSystemObject> files;
  std::optional<std::string> physical_path;
  std::shared_ptr<scripting::TextStream> stream;
  Try([&] {
    files = ObjectRefAs<scripting::FileSystemObject>(
        ServerObject().CreateObject("Scripting.FileSystemObject"));
  });
  // MapPath refuses a path that leaves the site root; then nothing is read.
  Try([&] { physical_path = ServerObject().MapPath(ToText(FileName)); });
  Try([&] {
    if (files && physical_path) stream = files->OpenTextFile(*physical_path, 1);
  });
  Try([&] {
    if (!stream) return;
    std::string text = stream->ReadAll();
    // An empty file reads as nothing, as a read past the end would.
    if (!text.empty()) result = Variant(std::move(text));
  });
  Try([&] {
    if (stream) stream->Close();
  });
  return result;
}

}  // namespace tabrix
