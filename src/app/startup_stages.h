// The texts shown while each start-up stage runs (splash window, or standard error when
// headless).
#pragma once

#include <string_view>

namespace pelrion::app {

inline constexpr std::string_view kStageDirectories = "Initializing directories...";
inline constexpr std::string_view kStageSettings = "Loading settings...";
inline constexpr std::string_view kStageCredentials = "Loading credentials...";
inline constexpr std::string_view kStageAccounts = "Loading accounts...";
inline constexpr std::string_view kStageAddressLists = "Loading address lists...";
inline constexpr std::string_view kStageMessages = "Loading messages...";
inline constexpr std::string_view kStageInitializing = "Initializing...";
inline constexpr std::string_view kStageListeners = "Creating listeners...";

// The first run of a headless copy, with no account yet.
inline constexpr std::string_view kFirstRunHint =
    "No mail account is set up yet: add one with 'pelrion account add' (see 'pelrion --help').";

}  // namespace pelrion::app
