// The command-line end of the control commands: checks the words, reads the passwords a
// command needs from standard input, sends the command to the running program and passes
// its answer on.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace pelrion::app {

// Returns the exit code: the command's own, 2 for bad arguments (checked before anything
// is sent, so also when no program runs), 3 when no program runs.
int RunCommandLine(const std::vector<std::string>& words, std::istream& in, std::ostream& out,
                   std::ostream& err);

}  // namespace pelrion::app
