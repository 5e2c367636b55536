// The running program's answer to the command line: the control socket, its requests run on
// the main thread by the control commands.
#pragma once

#include "app/application.h"

namespace pelrion::app {

// Starts answering commands on the control socket (in the TempFolder when there is no
// runtime folder). Without it the program still runs: a failure is told on standard error.
void StartControlServer(Application& app);

}  // namespace pelrion::app
