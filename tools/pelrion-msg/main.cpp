// pelrion-msg: looks into one message file the way Pelrion does (its MIME part table, a
// decoded part, its text, what arrival analysis finds) and writes authorization requests
// and CAPTCHA images. Run without arguments for the list of commands.
#include <iostream>
#include <string>
#include <vector>

#include "command_registry.h"

namespace {

int Usage() {
  std::cerr << "usage: pelrion-msg COMMAND ARGS...\n";
  for (const auto& [name, command] : pelrion::msgtool::Commands()) {
    std::cerr << "  " << name << ' ' << command.usage << "\n      " << command.help << '\n';
  }
  return pelrion::msgtool::kUsageStatus;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const auto& commands = pelrion::msgtool::Commands();
  const auto found = commands.find(std::string_view(argv[1]));
  if (found == commands.end()) return Usage();
  const std::vector<std::string> args(argv + 2, argv + argc);
  return found->second.run(args);
}
