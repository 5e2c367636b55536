// Start-up in its fixed order, and the orderly end. Both run on the main thread.
#pragma once

#include <string_view>

#include "app/application.h"

namespace pelrion::app {

// The texts shown while each start-up stage runs (splash window, or standard error
// when headless).
inline constexpr std::string_view kStageDirectories = "Initializing directories...";
inline constexpr std::string_view kStageSettings = "Loading settings...";
inline constexpr std::string_view kStageCredentials = "Loading credentials...";
inline constexpr std::string_view kStageAccounts = "Loading accounts...";
inline constexpr std::string_view kStageAddressLists = "Loading address lists...";
inline constexpr std::string_view kStageMessages = "Loading messages...";
inline constexpr std::string_view kStageInitializing = "Initializing...";
inline constexpr std::string_view kStageListeners = "Creating listeners...";

// The main window's timer that applies the quarantine time limit, and its period.
inline constexpr int kQuarantineExpiryTimer = 5;
inline constexpr int kQuarantineExpiryPeriodMs = 3'600'000;

// Runs every start-up step in order. False when a step failed; its message has been
// shown and the program must end without going on. Store file errors do not return:
// they end the process through FatalStop.
bool StartupMain(Application& app);

// Takes the running program apart in order once the event loop has ended. Stores need
// no saving here: every change was written when it happened.
void Shutdown(Application& app);

}  // namespace pelrion::app
