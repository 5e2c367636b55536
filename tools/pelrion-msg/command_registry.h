// The commands of pelrion-msg. Each command file registers itself at start-up with a
// namespace-scope `const bool` initialised by RegisterCommand, so adding a command never
// touches main().
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::msgtool {

struct Command {
  std::string usage;  // the arguments after the command name, e.g. "FILE N OUT"
  std::string help;   // one line
  // The arguments after the command name; returns the process exit code
  // (0 success, 1 failure, 2 bad usage).
  std::function<int(const std::vector<std::string>& args)> run;
};

inline constexpr int kUsageStatus = 2;

// Registers `name`; always true, so it can initialise a namespace-scope constant.
bool RegisterCommand(std::string name, Command command);

// The registered commands by name.
const std::map<std::string, Command, std::less<>>& Commands();

}  // namespace pelrion::msgtool
