// Runs the real `tabrix` executable for the tests of its commands.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tabrix::testing {

struct ProcessRun {
  int exit_code = -1;  // -1 when the program did not exit normally
  std::string out, err;
};

// Runs `tabrix WORDS...` in the folder `dir` (which must exist), the words
// passed as they are, and collects its exit code and both streams (through
// files in `dir`).
ProcessRun RunTabrix(const std::filesystem::path& dir, const std::vector<std::string>& words);
// The same with `input` on the program's standard input.
ProcessRun RunTabrix(const std::filesystem::path& dir, const std::vector<std::string>& words,
                     const std::string& input);

// A new empty folder for one test, named after it and the process, removed
// with everything in it when the object goes.
class TestFolder {
 public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tabrix::testing
