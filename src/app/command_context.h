// What the control commands act on: the running program's parts, filled in by start-up.
#pragma once

#include <functional>
#include <string>

#include "app/stores.h"
#include "core/preferences.h"
#include "cycle/mail_cycle.h"
#include "platform/registry.h"
#include "transport/listener_threads.h"

namespace pelrion::app {

struct CommandContext {
  Stores& stores;
  core::Preferences& preferences;
  platform::Registry& registry;
  cycle::MailCycle& cycle;
  transport::ListenerThreads& listeners;
  std::string database_folder;  // ends in '/'
  // Starts the program's orderly shutdown; called after the stop command was answered.
  std::function<void()> request_stop;
};

}  // namespace pelrion::app
