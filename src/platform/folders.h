// The per-user folders of the program and the file-system helpers around them. Every
// folder path ends with '/'.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "platform/registry.h"

namespace pelrion::platform {

struct Folders {
  std::string program;    // directory of the executable
  std::string data;       // $XDG_DATA_HOME/Pelrion/
  std::string temp;       // $TMPDIR/Pelrion-<uid>/, private to the user
  std::string templates;  // <documents>/Pelrion/ or data + "Templates/"
  std::string database;   // registry "Db", else data + "Db/"
};

// True when "test1324.fil" can be created/opened read-write in path; the file is removed.
bool IsWritableFolder(std::string_view path);

// Creates every missing directory of path from the root down (mode 0700). True when path
// is a directory afterwards.
bool CreateFolderPath(std::string_view path);

// Deletes every non-directory entry of path. False when the folder cannot be read or a
// file cannot be deleted.
bool EmptyFolder(std::string_view path);

// The user's temporary folder under base_folder (the system's, $TMPDIR or /tmp), with a
// trailing '/': base + "/Pelrion-<uid>/", created 0700 and accepted only when it is a real
// directory owned by the user, so no other user of a shared base can plant it or files in
// it. When that name is taken by someone else, a fresh mkdtemp folder
// base + "/Pelrion-<uid>-XXXXXX/" instead. The writable probe runs inside the chosen folder,
// never on the shared base. nullopt when neither can be had.
std::optional<std::string> PrivateTempFolder(std::string_view base_folder);

// The user's temporary folder under $TMPDIR (or /tmp) as it is named unless the name was
// taken: what a command-line client looks for, without touching the disk.
std::string UsualTempFolderPath();

// $XDG_DATA_HOME (or ~/.local/share) + "/Pelrion/", without touching the disk.
std::string DataFolderPath();

// The documents folder of the XDG user dirs (no trailing '/'): $XDG_DOCUMENTS_DIR, else
// XDG_DOCUMENTS_DIR of $XDG_CONFIG_HOME/user-dirs.dirs, else ~/Documents.
std::string DocumentsFolderPath();

// Resolves and creates the folders at start-up. On failure the reason has been shown
// through dialogs and nullopt is returned. Writes the database folder back to "Db".
std::optional<Folders> ResolveFolders(Registry& registry, Dialogs& dialogs);

}  // namespace pelrion::platform
