#pragma once
// Settings of a listener that its 276-byte record has no room for (the TLS policy) live in the
// registry under a subkey named after the listener's id. Ids are given out again, so the
// subkey goes when its listener goes.
#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace pelrion::store {

inline std::string ListenerSettingsKey(std::uint32_t listener_id) {
  return std::string(platform::kProgramKey) + "\\Listeners\\" + std::to_string(listener_id);
}

}  // namespace pelrion::store
