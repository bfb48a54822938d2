// `tabrix hash-password`: reads one password from the standard input and
// prints its argon2id hash, the value to store as a user's password in the
// configuration ("set_user1_password = '$argon2id$v=19$...'").
//
//   echo 'the password' | tabrix hash-password
//
// The password is the first line of the input without its line break ("\n"
// or "\r\n"). Exit codes: 0 with the hash and a line break on the output;
// 2 for an empty password or any argument (a message on the error stream,
// nothing on the output).
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "access/password_hash.h"

namespace tabrix::site {

// The command with the standard input and the default cost.
int RunHashPasswordCommand(const std::vector<std::string>& words, std::ostream& out,
                           std::ostream& err);

// The command reading `in` and hashing at `cost` (tests use a cheap one).
int HashPasswordCommand(const std::vector<std::string>& words, std::istream& in,
                        std::ostream& out, std::ostream& err, const Argon2Cost& cost);

}  // namespace tabrix::site
