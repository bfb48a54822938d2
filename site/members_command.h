// `tabrix members`: the component's interface as tools see it, one member a
// line in slot order:
//
//   SLOT <tab> NAME <tab> property|method <tab> PARAMETERS
//
// PARAMETERS are the parameter names joined by "," (empty for a property
// and for a method without parameters); every line has its four fields.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tabrix::site {

// The member table as the command prints it.
std::string MemberTableText();

// The whole command: no words prints the table to `out` and returns 0;
// "--help" prints the usage; anything else is bad usage (a message on `err`,
// exit code 2).
int RunMembersCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace tabrix::site
