// The program's version: `tabrix --version` and `-V`, and the first line
// of `tabrix serve`.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "site/version.h"
#include "support/tabrix_process.h"
#include "support/tabrix_server.h"

namespace tabrix::site {
namespace {

using testing::RunTabrix;
using testing::TabrixServer;
using testing::TestFolder;

TEST(Version, BothFlagsPrintTheProjectsVersion) {
  TestFolder folder;
  const std::string expected = "tabrix " + std::string(kVersion) + "\n";
  EXPECT_TRUE(std::regex_match(expected, std::regex("tabrix [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << expected;
  for (const char* flag : {"--version", "-V"}) {
    auto run = RunTabrix(folder.path(), {flag});
    EXPECT_EQ(run.exit_code, 0) << flag;
    EXPECT_EQ(run.out, expected) << flag;
    EXPECT_EQ(run.err, "") << flag;
  }
}

TEST(Version, TheServerSaysItsVersionAndWhatItServesBeforeItListens) {
  TestFolder folder;
  std::ofstream(folder.path() / "site.toml") << "locale = \"en-US\"\n";
  TabrixServer server({"--config", "site.toml", "--listen", "127.0.0.1:0"}, folder.path());
  ASSERT_TRUE(server.listening());
  std::string log = server.Stderr();
  size_t version = log.find("tabrix " + std::string(kVersion) + " serving site.toml\n");
  ASSERT_NE(version, std::string::npos) << log;
  EXPECT_LT(version, log.find("tabrix: listening on http://")) << log;
  EXPECT_EQ(server.Stop(), 0);
}

}  // namespace
}  // namespace tabrix::site
