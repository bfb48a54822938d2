// `tabrix hash-password`: the printed hash verifies the password read (its
// line break left out) and nothing else; no password is a usage error.
#include "site/hash_password_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "access/password_hash.h"
#include "support/tabrix_process.h"

namespace tabrix::site {
namespace {

using tabrix::testing::RunTabrix;
using tabrix::testing::TestFolder;

TEST(HashPasswordCommand, TheProgramPrintsAHashOfThePasswordItRead) {
  TestFolder folder;
  tabrix::testing::ProcessRun run = RunTabrix(folder.path(), {"hash-password"}, "Tr0ub4dor&3\n");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  ASSERT_FALSE(run.out.empty());
  ASSERT_EQ(run.out.back(), '\n');
  std::string hash = run.out.substr(0, run.out.size() - 1);
  EXPECT_EQ(hash.rfind("$argon2id$v=19$", 0), 0u) << hash;
  EXPECT_TRUE(VerifyPasswordHash(hash, "Tr0ub4dor&3"));
  EXPECT_FALSE(VerifyPasswordHash(hash, "Tr0ub4dor&3\n"));
  EXPECT_FALSE(VerifyPasswordHash(hash, "tr0ub4dor&3"));
}

TEST(HashPasswordCommand, TheProgramRefusesAnEmptyPassword) {
  TestFolder folder;
  for (const char* input : {"", "\n", "\r\n"}) {
    tabrix::testing::ProcessRun run = RunTabrix(folder.path(), {"hash-password"}, input);
    EXPECT_EQ(run.exit_code, 2) << "input of " << std::string(input).size() << " bytes";
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("no password"), std::string::npos) << run.err;
  }
}

TEST(HashPasswordCommand, ReadsTheFirstLineWithoutItsBreak) {
  const Argon2Cost cheap{1, 8, 1};
  struct Case {
    const char* input;
    const char* password;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"with break\n", "with break"},
      {"crlf\r\n", "crlf"},
      {" spaced \n", " spaced "},  // blanks belong to the password
      {"first\nsecond\n", "first"},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.input);
    std::ostringstream out, err;
    ASSERT_EQ(HashPasswordCommand({}, in, out, err, cheap), 0) << c.input << err.str();
    std::string hash = out.str();
    ASSERT_FALSE(hash.empty());
    hash.pop_back();
    EXPECT_TRUE(VerifyPasswordHash(hash, c.password)) << c.input;
  }
}

TEST(HashPasswordCommand, RefusesArgumentsAndAnswersHelp) {
  const Argon2Cost cheap{1, 8, 1};
  std::istringstream in("pw\n");
  std::ostringstream out, err;
  EXPECT_EQ(HashPasswordCommand({"pw"}, in, out, err, cheap), 2);
  EXPECT_EQ(out.str(), "");
  EXPECT_NE(err.str().find("takes no arguments"), std::string::npos) << err.str();

  std::ostringstream help_out, help_err;
  EXPECT_EQ(HashPasswordCommand({"--help"}, in, help_out, help_err, cheap), 0);
  EXPECT_NE(help_out.str().find("Usage: "), std::string::npos);
}

}  // namespace
}  // namespace tabrix::site
