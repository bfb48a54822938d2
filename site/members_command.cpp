#include "site/members_command.h"

#include "component/member_table.h"

namespace tabrix::site {

namespace {

constexpr const char* kUsage =
    "Usage: tabrix members\n\n"
    "Prints the component's members in slot order, one a line, the fields\n"
    "separated by tabs: slot, name, \"property\" or \"method\", and the parameter\n"
    "names separated by \",\".\n";

}  // namespace

std::string MemberTableText() {
  std::string text;
  for (const MemberInfo& member : Members()) {
    text += std::to_string(member.slot);
    text += '\t';
    text += member.name;
    text += member.is_property ? "\tproperty\t" : "\tmethod\t";
    text += member.parameters;
    text += '\n';
  }
  return text;
}

int RunMembersCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  if (words.size() == 1 && (words[0] == "--help" || words[0] == "-h")) {
    out << kUsage;
    return 0;
  }
  if (!words.empty()) {
    err << "tabrix members: takes no arguments, not \"" << words[0] << "\"\n" << kUsage;
    return 2;
  }
  out << MemberTableText();
  out.flush();
  return 0;
}

}  // namespace tabrix::site
