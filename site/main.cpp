// The `tabrix` executable: a dispatcher of sub-commands.
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "site/call_command.h"
#include "site/demo_command.h"
#include "site/hash_password_command.h"
#include "site/init_command.h"
#include "site/members_command.h"
#include "site/serve_command.h"
#include "site/version.h"

namespace {

struct Command {
  std::string_view name;
  std::string_view summary;
  int (*run)(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);
};

constexpr Command kCommands[] = {
    {"call", "run members of one component object and print a JSON report",
     &tabrix::site::RunCallCommand},
    {"demo", "make a demo database and its site, and serve it with --serve",
     &tabrix::site::RunDemoCommand},
    {"hash-password", "read a password from the standard input and print its hash",
     &tabrix::site::RunHashPasswordCommand},
    {"init", "print a commented configuration for an existing database",
     &tabrix::site::RunInitCommand},
    {"members", "print the component's members in slot order with their parameters",
     &tabrix::site::RunMembersCommand},
    {"serve", "serve a database, or the site of a configuration, over HTTP",
     &tabrix::site::RunServeCommand},
};

void PrintHelp(std::ostream& out) {
  out << "Usage: tabrix COMMAND [ARG]...\n\n"
         "Tabrix turns a relational database into a browsable, editable web site.\n\n"
         "Commands:\n";
  for (const Command& command : kCommands)
    out << "  " << command.name << std::string(15 - command.name.size(), ' ') << command.summary
        << "\n";
  out << "\nRun 'tabrix COMMAND --help' for a command's options; 'tabrix --version' (-V)\n"
         "prints the version.\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  if (words.empty()) {
    PrintHelp(std::cerr);
    return 2;
  }
  if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
    PrintHelp(std::cout);
    return 0;
  }
  if (words[0] == "--version" || words[0] == "-V") {
    std::cout << "tabrix " << tabrix::site::kVersion << "\n";
    return 0;
  }
  for (const Command& command : kCommands) {
    if (words[0] != command.name) continue;
    words.erase(words.begin());
    try {
      return command.run(words, std::cout, std::cerr);
    } catch (const std::exception& e) {
      std::cerr << "tabrix " << command.name << ": " << e.what() << "\n";
      return 2;
    }
  }
  std::cerr << "tabrix: unknown command \"" << words[0] << "\"\n";
  PrintHelp(std::cerr);
  return 2;
}
