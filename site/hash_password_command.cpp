#include "site/hash_password_command.h"

#include <iostream>

namespace tabrix::site {

namespace {

constexpr const char* kUsage =
    "Usage: echo 'PASSWORD' | tabrix hash-password\n\n"
    "Reads one password (the first line of the standard input) and prints its\n"
    "argon2id hash, to store as a user's password in the configuration.\n";

}  // namespace

int HashPasswordCommand(const std::vector<std::string>& words, std::istream& in,
                        std::ostream& out, std::ostream& err, const Argon2Cost& cost) {
  if (words.size() == 1 && (words[0] == "--help" || words[0] == "-h")) {
    out << kUsage;
    return 0;
  }
  if (!words.empty()) {
    err << "tabrix hash-password: takes no arguments, not \"" << words[0] << "\"\n" << kUsage;
    return 2;
  }
  std::string password;
  std::getline(in, password);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (password.empty()) {
    err << "tabrix hash-password: no password on the standard input\n" << kUsage;
    return 2;
  }
  out << HashPassword(password, cost) << "\n";
  out.flush();
  return 0;
}

int RunHashPasswordCommand(const std::vector<std::string>& words, std::ostream& out,
                           std::ostream& err) {
  return HashPasswordCommand(words, std::cin, out, err, Argon2Cost{});
}

}  // namespace tabrix::site
