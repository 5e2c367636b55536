// The one way the program dies on an unrecoverable condition: the text goes through the
// dialogs port (stop icon), then the process ends with exit code 1. Nothing is saved.
// It lives with the lowest layer because the stores, the codecs and start-up all end here.
#pragma once

#include <string_view>

namespace pelrion::platform {

inline constexpr std::string_view kInsufficientMemory = "Insufficient memory.";
inline constexpr std::string_view kThreadStartFailed = "Could not create thread - add virtual memory.";
inline constexpr std::string_view kDatabaseError = "Critical error on database access.";
inline constexpr std::string_view kGuiFailure = "GUI subsystem failure";
inline constexpr std::string_view kInternalError = "Internal error";

[[noreturn]] void FatalStop(std::string_view text = kInsufficientMemory);

}  // namespace pelrion::platform
