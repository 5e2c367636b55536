// Windows programs installed under Wine: the prefix ($WINEPREFIX, else ~/.wine) with its
// registry hives and its drives, and what the mail-client import asks of them: a program's
// App Paths entry, the user's application data folder and the Windows folder, as paths of
// this system. Names are looked up without regard to letter case, as Windows does.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "import/wine_registry.h"

namespace pelrion::import {

// $WINEPREFIX when set and not empty, else home + "/.wine".
std::string WinePrefixFolder(std::string_view home);

// path with each component matched without regard to letter case against what exists
// (the first match in the folder's listing); path itself when a component has no match.
std::string ResolveIgnoringCase(const std::string& path);

class WinePrefix {
 public:
  // Reads folder's user.reg and system.reg (either may be missing).
  explicit WinePrefix(std::string folder);

  bool exists() const { return exists_; }
  const RegistryView& user() const { return user_; }
  const RegistryView& machine() const { return machine_; }

  // A Windows path ("C:\\Program Files\\x.exe", optionally quoted, environment variables
  // such as %ProgramFiles% expanded from the prefix's environment) as a path of this
  // system; nothing for a path without a drive letter.
  std::optional<std::string> UnixPath(std::string_view windows_path) const;
  // The Windows path of program's App Paths entry, its variables expanded, or nothing.
  std::optional<std::string> AppPath(std::string_view program) const;
  // The installed program file named by program's App Paths entry, when the entry ends in
  // that file name (letter case ignored) and the file exists.
  std::optional<std::string> ProgramFile(std::string_view program) const;
  // The user's application data folder (its Shell Folders entry, else the usual places).
  std::optional<std::string> AppDataFolder() const;
  // The Windows folder.
  std::string WindowsFolder() const;

 private:
  std::string Expand(std::string_view text) const;
  std::optional<std::string> Variable(std::string_view name) const;

  std::string folder_;
  bool exists_ = false;
  WineRegistry user_;
  WineRegistry machine_;
};

}  // namespace pelrion::import
