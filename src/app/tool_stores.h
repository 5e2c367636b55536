// The stores of one database folder as the command-line tools open them: exactly as the
// program does, with a main thread of their own, settings held in memory and the do-nothing
// ports (no listener threads, notices or windows).
#pragma once

#include <string>

#include "app/stores.h"
#include "core/preferences.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "store/folders_view.h"
#include "store/listener_control.h"
#include "store/status_notices.h"

namespace pelrion::app {

class ToolStores {
  // First, so that they go after the stores that use them.
  store::NoListenerControl listener_control_;
  store::NoStatusNotices notices_;
  store::NoFoldersView view_;

 public:
  // database_folder ends in '/'; it is made (mode 0700) when missing. The constructing thread
  // is the main thread.
  explicit ToolStores(const std::string& database_folder);
  ToolStores(const ToolStores&) = delete;
  ToolStores& operator=(const ToolStores&) = delete;

  platform::PlainMainThread main_thread;
  platform::MemoryRegistry registry;
  core::Preferences preferences;
  Stores stores;
};

}  // namespace pelrion::app
