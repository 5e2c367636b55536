// The profile folders a Mozilla-family profile registry file lists, as written there.
#pragma once

#include <string>
#include <vector>

namespace pelrion::import {

// "Registry.dat" form: the "directory" entry of every subkey of "Profiles" under the
// common root.
std::vector<std::string> RegistryProfileDirectories(const std::string& registry_path);

// "nsreg.dat" form: the "ProfileLocation" entry of every subkey of the users root.
std::vector<std::string> NsregProfileLocations(const std::string& registry_path);

}  // namespace pelrion::import
