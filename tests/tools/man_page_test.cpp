// The built man page, tabrix(1): it renders without a warning where groff
// or man is installed, carries the version, and holds every setting of
// docs/settings.md.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "site/version.h"
#include "tools/man_page/markdown_roff.h"

namespace tabrix::man {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct ShellRun {
  int status = -1;
  std::string output;
};

// `command` through the shell, its standard output (and what it sends
// there) collected.
ShellRun Shell(const std::string& command) {
  ShellRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t got = 0;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, got);
  run.status = pclose(pipe);
  return run;
}

bool Installed(const std::string& program) {
  return Shell("command -v " + program + " >/dev/null 2>&1").status == 0;
}

// The "### " headings of docs/settings.md, as their text reads.
std::vector<std::string> SettingHeadings() {
  std::vector<std::string> headings;
  std::istringstream lines(ReadFile(std::string(TABRIX_DOCS_DIR) + "/settings.md"));
  std::string line;
  bool in_code = false;
  while (std::getline(lines, line)) {
    if (line.starts_with("```")) in_code = !in_code;
    if (!in_code && line.starts_with("### ")) headings.push_back(PlainText(line.substr(4)));
  }
  return headings;
}

TEST(ManPage, RendersWithoutWarnings) {
  const std::string page = TABRIX_MAN_PAGE;
  ShellRun run;
  if (Installed("groff")) {
    run = Shell("groff -man -Tutf8 -ww -z '" + page + "' 2>&1");
  } else if (Installed("man")) {
    run = Shell("MANWIDTH=80 man -l --warnings '" + page + "' 2>&1 >/dev/null");
  } else {
    GTEST_SKIP() << "neither groff nor man is installed";
  }
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "");
}

TEST(ManPage, CarriesTheVersionAndEverySetting) {
  const std::string roff = ReadFile(TABRIX_MAN_PAGE);
  EXPECT_NE(roff.find(".TH TABRIX 1 \"\" \"tabrix " + std::string(site::kVersion) + "\""),
            std::string::npos);

  std::vector<std::string> headings = SettingHeadings();
  ASSERT_FALSE(headings.empty()) << "docs/settings.md has no setting headings";
  if (!Installed("groff")) GTEST_SKIP() << "groff is not installed to read the page";
  // The page as a reader sees it, without bold or underlining.
  ShellRun shown = Shell("groff -man -Tutf8 -P-c -P-b -P-o -P-u '" + std::string(TABRIX_MAN_PAGE) +
                    "' 2>/dev/null");
  ASSERT_EQ(shown.status, 0);
  // Where roff prints its minus sign or hyphen as such, it reads as "-".
  for (const char* dash : {"\xE2\x88\x92", "\xE2\x80\x90"}) {
    for (size_t at = shown.output.find(dash); at != std::string::npos;
         at = shown.output.find(dash, at))
      shown.output.replace(at, 3, "-");
  }
  for (const std::string& heading : headings)
    EXPECT_NE(shown.output.find(heading), std::string::npos) << heading;
}

}  // namespace
}  // namespace tabrix::man
