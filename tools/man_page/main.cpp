// Makes a man page from markdown files:
//
//   tabrix_man_page --name TABRIX --section 1 --source "tabrix 0.9.0"
//                   --manual "User Commands" OUTPUT INPUT.md...
//
// The .TH line's fields, then the output file, then the inputs in order,
// one after the other. The page is written whole or not
// at all (through a temporary file beside it); a fault in an input names
// the file and its line and exits 1.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/man_page/markdown_roff.h"

namespace {

int Usage() {
  std::cerr << "usage: tabrix_man_page --name NAME --section N --source TEXT --manual TEXT "
               "OUTPUT INPUT.md...\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  std::string name, section, source, manual;
  size_t i = 0;
  for (; i + 1 < words.size() && words[i].starts_with("--"); i += 2) {
    if (words[i] == "--name") name = words[i + 1];
    else if (words[i] == "--section") section = words[i + 1];
    else if (words[i] == "--source") source = words[i + 1];
    else if (words[i] == "--manual") manual = words[i + 1];
    else return Usage();
  }
  if (name.empty() || section.empty() || words.size() < i + 2) return Usage();
  std::filesystem::path output = words[i];

  std::string page = ".\\\" Made from markdown by tabrix_man_page; edit the markdown.\n" +
                     tabrix::man::TitleLine(name, section, source, manual) +
                     // Names and code words are never hyphenated, and the
                     // right margin is ragged rather than stretched around them.
                     ".nh\n.ad l\n";
  for (size_t k = i + 1; k < words.size(); ++k) {
    std::ifstream in(words[k], std::ios::binary);
    if (!in) {
      std::cerr << words[k] << ": cannot be read\n";
      return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    try {
      page += tabrix::man::MarkdownToRoff(text.str());
    } catch (const std::exception& e) {
      std::cerr << words[k] << ", " << e.what() << "\n";
      return 1;
    }
  }

  std::filesystem::path temporary = output;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << page;
    if (!out.flush()) {
      std::cerr << temporary.string() << ": cannot be written\n";
      return 1;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, output, error);
  if (error) {
    std::cerr << output.string() << ": " << error.message() << "\n";
    return 1;
  }
  return 0;
}
