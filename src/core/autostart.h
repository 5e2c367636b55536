// Start with the desktop session: an XDG autostart entry
// $XDG_CONFIG_HOME/autostart/pelrion.desktop (default ~/.config) whose Exec line starts the
// executable by its absolute path. Written when the preference is on, removed when off.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelrion::core {

// Where the entry lives; nullopt when neither an absolute XDG_CONFIG_HOME nor a home
// folder can be found.
std::optional<std::string> AutostartEntryPath();

// path as one quoted Exec argument (freedesktop.org desktop entry format, "The Exec key"), with
// the string-value escapes applied on top; nullopt when path holds a byte no desktop
// file can carry (a control character other than tab, CR and LF).
std::optional<std::string> QuoteExecArgument(std::string_view path);

// The whole entry for the executable at path.
std::optional<std::string> AutostartEntryText(std::string_view executable_path);

// Writes the entry atomically (temporary file, fsync, rename) when enabled, removes it
// when not. Does nothing and succeeds when executable_path is not absolute. False when
// the entry could not be written or removed.
bool ApplyAutostart(bool enabled, std::string_view executable_path);

// The running program's absolute path (/proc/self/exe); nullopt when it cannot be read.
std::optional<std::string> CurrentExecutablePath();

}  // namespace pelrion::core
