#include "support/tabrix_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tabrix::testing {

namespace fs = std::filesystem;

namespace {

std::string ShellQuote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

ProcessRun RunTabrix(const fs::path& dir, const std::vector<std::string>& words) {
  return RunTabrix(dir, words, "");
}

ProcessRun RunTabrix(const fs::path& dir, const std::vector<std::string>& words,
                     const std::string& input) {
  std::ofstream(dir / "tabrix_in.txt", std::ios::binary) << input;
  std::string command = "cd " + ShellQuote(dir.string()) + " && " + ShellQuote(TABRIX_BINARY);
  for (const std::string& w : words) command += " " + ShellQuote(w);
  command += " <tabrix_in.txt >tabrix_out.txt 2>tabrix_err.txt";
  int status = std::system(command.c_str());
  ProcessRun run;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadWhole(dir / "tabrix_out.txt");
  run.err = ReadWhole(dir / "tabrix_err.txt");
  return run;
}

TestFolder::TestFolder() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test != nullptr ? std::string(test->test_suite_name()) + "_" + test->name()
                                     : std::string("tabrix_test");
  for (char& c : name)
    if (c == '/') c = '_';
  path_ = fs::temp_directory_path() / ("tabrix_" + name + "_" + std::to_string(getpid()));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TestFolder::~TestFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace tabrix::testing
