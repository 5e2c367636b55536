// Which installed application opens files of a MIME type, by the desktop's MIME-applications
// rules: the user's and the system's mimeapps.list files, then what the installed .desktop
// entries declare (their mimeinfo.cache), so a system where nobody picked a default still finds
// the installed program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelrion::platform {

// An application's command line for opening a file: the Exec value of its .desktop entry
// (string escapes undone, field codes kept; see SplitExecLine) and the entry's file.
// Empty when no application is associated.
struct ViewerCommand {
  std::string exec;
  std::string desktop_file;

  bool empty() const { return exec.empty(); }
};

// The folders of the look-up, each without a trailing '/'.
struct XdgDirs {
  std::string config_home;               // $XDG_CONFIG_HOME, default ~/.config
  std::vector<std::string> config_dirs;  // $XDG_CONFIG_DIRS, default /etc/xdg
  std::string data_home;                 // $XDG_DATA_HOME, default ~/.local/share
  std::vector<std::string> data_dirs;    // $XDG_DATA_DIRS, default /usr/local/share:/usr/share
  std::vector<std::string> desktops;     // $XDG_CURRENT_DESKTOP's names, lower-cased, in order
};

// From the environment; unset, empty and relative values take the defaults.
XdgDirs XdgDirsFromEnvironment();

// The application that opens mime_type, or an empty command. In order, the first usable entry:
// 1. [Default Applications] of the mimeapps.list files, in order of precedence: per folder
//    ($XDG_CONFIG_HOME, $XDG_CONFIG_DIRS, then the applications folder of $XDG_DATA_HOME and
//    $XDG_DATA_DIRS) "<desktop>-mimeapps.list" for each current desktop, then "mimeapps.list";
// 2. [Added Associations] of those files in the same order, skipping what a file before it
//    lists under [Removed Associations]; after the lists of each applications folder, the
//    entries its mimeinfo.cache names for the type, with the same exclusions.
// Usable: the desktop ID names an entry in the applications folders (the first found counts,
// "a-b.desktop" may also be "a/b.desktop"), of Type Application, not Hidden, whose TryExec and
// Exec programs exist.
ViewerCommand DefaultApplicationFor(std::string_view mime_type, const XdgDirs& dirs);

// An application the desktop associates with a type, as "Open with..." lists it.
struct DesktopApplication {
  std::string name;  // the entry's Name, or its desktop ID when it has none
  ViewerCommand command;
};

// Every usable application associated with mime_type, in the order of preference of
// DefaultApplicationFor (the first is the one it finds), each entry once.
std::vector<DesktopApplication> ApplicationsFor(std::string_view mime_type, const XdgDirs& dirs);

}  // namespace pelrion::platform
