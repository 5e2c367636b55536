#include "support/run_command.h"

#include <sys/wait.h>

#include <cstdio>

namespace pelrion::test_support {

RunResult RunCommand(const std::string& command) {
  RunResult result;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    result.out.append(buffer, got);
  }
  const int status = ::pclose(pipe);
  result.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string ShellQuote(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string ShellCommand(const std::string& program, const std::vector<std::string>& args) {
  std::string command = ShellQuote(program);
  for (const std::string& arg : args) command += " " + ShellQuote(arg);
  return command;
}

}  // namespace pelrion::test_support
