// Starting another program (a file's viewer) that lives on its own.
#pragma once

#include <string>
#include <vector>

namespace pelrion::platform {

// Starts argv[0] (looked up on PATH when it has no '/') with the arguments exactly as given:
// no shell sees them. The program gets only descriptors 0-2 of this process, runs in a session
// of its own with the default signal handling and an empty signal mask, and is reaped by a
// detached thread when it ends, so no zombie is left. Returns 0 when the program was started,
// otherwise an errno value (ENOENT for a missing program, EACCES, EINVAL for an empty argv,
// EAGAIN when no thread could be started to reap it - then nothing was started).
int LaunchDetached(const std::vector<std::string>& argv);

// True when program names an executable regular file: as a path when it holds a '/', else
// found in one of the folders of $PATH (the look-up LaunchDetached makes).
bool ProgramExists(const std::string& program);

}  // namespace pelrion::platform
