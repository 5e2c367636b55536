// The running program's state: what start-up resolves and loads, what the later steps,
// the windows and the workers use, and what shutdown takes apart again.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/program_listeners.h"
#include "app/program_workers.h"
#include "app/stores.h"
#include "core/preferences.h"
#include "cycle/cycle_ports.h"
#include "cycle/mail_cycle.h"
#include "platform/control_server.h"
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

  // Without a window (headless, or the GUI before it exists): what the stores would tell a
  // window goes nowhere, and what they tell of listeners and notices, until start-up has made
  // the listeners and the cycle.
  store::NoListenerControl no_listener_control;
  store::NoStatusNotices no_status_notices;
  store::NoFoldersView no_folders_view;

  // Opened once the database folder is known; they read the preferences above.
  Stores stores;
  bool first_run = false;  // "setonce" was absent when this start began

  // Made by start-up before the stores open (the tables report to them) and declared after
  // the stores, so they go first. The view is given by main: the main window, or the
  // headless log; without one, start-up makes no cycle (the tests of single steps).
  bool headless = true;
  cycle::CycleView* view = nullptr;
  // The main window's message list, told of every message the stores file, move or change;
  // without one, nobody is.
  store::FoldersView* folders_view = nullptr;
  std::unique_ptr<ProgramWorkers> workers;
  std::unique_ptr<cycle::MailCycle> cycle;
  std::unique_ptr<ProgramListeners> listeners;
  // Answers the command line; made last, so it is stopped first.
  std::unique_ptr<platform::ControlServer> control;
  // Ends the event loop, after which main runs the shutdown; the "stop" command calls it.
  std::function<void()> request_quit;

  // Set when shutdown begins; workers read it to stop early.
  std::atomic<bool> shutting_down{false};
};

}  // namespace pelrion::app
