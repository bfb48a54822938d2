// Runs the real `tabrix call` executable for the site tests: a fresh folder
// per test, the command's exit code, its output and its parsed JSON report.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "site/variant_json.h"
#include "support/tabrix_process.h"

namespace tabrix::site::testing {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct CallResult {
  int exit_code = -1;
  std::string out, err;
  Json report;  // the parsed output when there is any
};

class CallCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("tabrix_call_" + std::string(test->name()) + "_" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs `tabrix call` with `words` in the test's folder.
  CallResult Call(const std::vector<std::string>& words) {
    std::vector<std::string> command = {"call"};
    command.insert(command.end(), words.begin(), words.end());
    tabrix::testing::ProcessRun process = tabrix::testing::RunTabrix(dir_, command);
    CallResult run;
    run.exit_code = process.exit_code;
    run.out = process.out;
    run.err = process.err;
    if (!run.out.empty()) run.report = Json::parse(run.out);
    return run;
  }

  fs::path Write(const std::string& name, const std::string& text) {
    fs::path path = dir_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  fs::path dir_;
};

inline Json V(const char* json) { return Json::parse(json); }

inline void MakeDatabase(const fs::path& path, const char* script) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, script, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

}  // namespace tabrix::site::testing
