// The command-line end of the control socket: sends one request to the running program and
// passes its answer on.
#pragma once

#include <ostream>
#include <string>

#include "platform/control_message.h"

namespace pelrion::platform {

// The exit code of a command when no program listens on the control socket.
inline constexpr int kNoInstanceExitCode = 3;

// Sends request to the program listening at socket_path, writes the reply's output to out
// and its error text to err, and returns the reply's exit code. When no program listens
// there: one line on err and kNoInstanceExitCode; when the program cannot be reached or ends
// the connection without an answer: one line on err and 1.
int RunControlCommand(const std::string& socket_path, const ControlRequest& request,
                      std::ostream& out, std::ostream& err);

}  // namespace pelrion::platform
