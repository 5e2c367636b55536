// Start-up in its fixed order. Runs on the main thread.
#pragma once

#include "app/application.h"
#include "app/startup_stages.h"

namespace pelrion::app {

// The main window's timer that applies the quarantine time limit, and its period.
inline constexpr int kQuarantineExpiryTimer = 5;
inline constexpr int kQuarantineExpiryPeriodMs = 3'600'000;

// Runs every start-up step in order. False when a step failed; its message has been
// shown and the program must end without going on. Store file errors do not return:
// they end the process through FatalStop.
bool StartupMain(Application& app);

}  // namespace pelrion::app
