// Where Thunderbird keeps its profiles for this user: the profiles.ini of the usual
// installation, of the Flatpak and of the Snap, each naming its profile folders.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelrion::import {

// The user's home folder without a trailing '/': $HOME when it is absolute, else the
// password database's entry.
std::string UserHomeFolder();

// The folders that may hold a profiles.ini, in the order they are searched:
// home + "/.thunderbird", the Flatpak's ".var/app/org.mozilla.Thunderbird/.thunderbird" and
// the Snap's "snap/thunderbird/common/.thunderbird".
std::vector<std::string> ThunderbirdFolders(std::string_view home);

// The profile folders named by the text of a profiles.ini that lives in folder: every
// section whose name begins with "Profile" (any case) and has a non-empty Path. The path is
// taken relative to folder when IsRelative is 1, or when IsRelative is missing and the path
// does not begin with '/'; otherwise as it is. In file order.
std::vector<std::string> ProfileFoldersOfIni(std::string_view ini_text, std::string_view folder);

// The profile folders of folder's profiles.ini; none when it cannot be read.
std::vector<std::string> ProfileFoldersIn(std::string_view folder);

// The profile folders of every profiles.ini under home that can be read, in the order of
// ThunderbirdFolders.
std::vector<std::string> ThunderbirdProfileFolders(std::string_view home);

}  // namespace pelrion::import
