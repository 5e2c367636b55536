// Running the tools (and outside programs) from tests through the shell.
#pragma once

#include <string>
#include <vector>

namespace pelrion::test_support {

struct RunResult {
  int status = -1;  // the exit code; -1 when it could not run or ended by a signal
  std::string out;  // standard output
};

// Runs command through /bin/sh; standard error goes wherever the command sends it.
RunResult RunCommand(const std::string& command);

// arg in single quotes for the shell, embedded quotes escaped.
std::string ShellQuote(const std::string& arg);
// program and args quoted and joined by blanks.
std::string ShellCommand(const std::string& program, const std::vector<std::string>& args);

}  // namespace pelrion::test_support
