// The running program's state: what start-up resolves and loads, what the later steps,
// the windows and the workers use, and what shutdown takes apart again.
#pragma once

#include <atomic>
#include <string>

#include "core/preferences.h"
#include "platform/folders.h"
#include "platform/registry.h"

namespace pelrion::core {

struct Application {
  explicit Application(platform::Registry& registry_in) : registry(registry_in) {}

  platform::Registry& registry;
  platform::Folders folders;
  std::string host_name;
  std::string installation_id;
  Preferences preferences;
  bool first_run = false;  // "setonce" was absent when this start began

  // Set when shutdown begins; workers read it to stop early.
  std::atomic<bool> shutting_down{false};
};

}  // namespace pelrion::core
