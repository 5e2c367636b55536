// The running program's state: what start-up resolves and loads, what the later steps,
// the windows and the workers use, and what shutdown takes apart again.
#pragma once

#include <atomic>
#include <string>

#include "app/stores.h"
#include "core/preferences.h"
#include "platform/dialogs.h"
#include "platform/folders.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "platform/single_instance.h"
#include "platform/viewer.h"

namespace pelrion::app {

struct Application {
  // All three ports must outlive the application.
  Application(platform::Registry& registry_in, platform::MainThread& main_thread_in,
              platform::Dialogs& dialogs_in)
      : registry(registry_in), main_thread(main_thread_in), dialogs(dialogs_in) {}

  platform::Registry& registry;
  platform::MainThread& main_thread;
  platform::Dialogs& dialogs;
  // The locks of this running copy; declared first so they are released last.
  platform::SingleInstance instance;
  platform::Folders folders;
  std::string host_name;
  std::string installation_id;
  core::Preferences preferences;
  // The ".txt" and ".eml" viewers, looked up once at start.
  platform::ViewerCommands viewers;

  // What the stores tell of listeners, network-error notices and folder changes. Nobody
  // listens yet: the listener layer and the main window plug their own ports in here.
  store::NoListenerControl no_listener_control;
  store::NoStatusNotices no_status_notices;
  store::NoFoldersView no_folders_view;

  // Opened once the database folder is known; they read the preferences above.
  Stores stores;
  bool first_run = false;  // "setonce" was absent when this start began

  // Set when shutdown begins; workers read it to stop early.
  std::atomic<bool> shutting_down{false};
};

}  // namespace pelrion::app
