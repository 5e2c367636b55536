// pelrion: the GUI when a display is available, the headless proxy otherwise (--headless
// forces it); given a command word, it sends that command to the running copy instead.
// Exit codes: 0 normal end, 1 failed start, FatalStop or a second copy; commands: see
// pelrion --help.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <QApplication>
#include <QCoreApplication>

#include "app/application.h"
#include "app/command_client.h"
#include "app/gui_wiring.h"
#include "app/headless_view.h"
#include "app/quit_on_signal.h"
#include "app/run_options.h"
#include "app/shutdown.h"
#include "app/startup.h"
#include "platform/dialogs.h"
#include "platform/fatal_stop.h"
#include "platform/folders.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_main_thread.h"
#include "platform/random.h"
#include "platform/registry.h"
#include "platform/single_instance.h"
#include "transport/process_setup.h"

namespace {

// A display server, or a Qt platform chosen explicitly (offscreen, vnc, ...), gives the
// program a screen for its windows.
bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

std::string RegistryPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config && *config) {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : "") + "/.config";
  }
  return base + "/Pelrion/registry.reg";
}

// Starts the program and runs it until SIGTERM, SIGINT or the "stop" command.
int RunProgram(int argc, char** argv, bool headless) {
  using namespace pelrion;
  // Process-wide: must come before any thread exists, so every thread inherits it.
  transport::PrepareProcessForNetwork();

  // A second copy on the same data ends at once, before it shows anything. The lock is
  // retried, and the database folder's taken, once start-up has resolved the folders.
  platform::SingleInstance instance;
  if (instance.LockFolder(platform::DataFolderPath()) == platform::LockOutcome::kTakenByAnother) {
    std::cerr << "Pelrion is already running." << std::endl;
    return 1;
  }
  platform::SeedRandFromClock();
  // Any failed allocation anywhere ends the program the one documented way.
  std::set_new_handler([] { platform::FatalStop(platform::kInsufficientMemory); });

  std::unique_ptr<QCoreApplication> qt_app;
  if (headless) {
    qt_app = std::make_unique<QCoreApplication>(argc, argv);
  } else {
    qt_app = std::make_unique<QApplication>(argc, argv);
  }

  platform::HeadlessDialogs headless_dialogs;
  platform::QtDialogs qt_dialogs;
  platform::Dialogs& dialogs = headless ? static_cast<platform::Dialogs&>(headless_dialogs)
                                        : static_cast<platform::Dialogs&>(qt_dialogs);
  // FatalStop can happen anywhere, so it finds the dialogs through the process-wide port.
  platform::SetDialogs(&dialogs);
  platform::QtMainThread main_thread;
  // Installed before start-up so that a signal during it still ends the program in order.
  app::QuitOnSignal quit_on_signal;

  platform::FileRegistry registry(RegistryPath());
  // A settings file that exists but cannot be read is kept as it is, not started over empty.
  if (auto error = registry.LoadError()) {
    dialogs.MessageBox(*error, "Pelrion", platform::DialogIcon::kStop, platform::DialogButtons::kOk);
    return 1;
  }
  app::HeadlessView view(std::cerr);
  auto application = std::make_unique<app::Application>(registry, main_thread, dialogs);
  application->instance = std::move(instance);
  application->headless = headless;
  application->view = &view;
  // exit, not quit: nothing is asked on the way out (see QuitOnSignal), and any dialog open
  // when the "stop" command or the tray's Exit arrives simply ends.
  application->request_quit = [] { QCoreApplication::exit(0); };
  // With a display the main window shows the cycle and lists the folders instead.
  std::unique_ptr<app::GuiProgram> gui;
  if (!headless) gui = std::make_unique<app::GuiProgram>(*application);
  if (!app::StartupMain(*application)) {
    if (gui) gui->Finish();
    application.reset();
    return 1;
  }
  if (gui) gui->Started();

  qt_app->exec();
  if (gui) gui->Stopping();
  if (!app::Shutdown(*application)) {
    // A thread outlived its wait and may still use the stores: end here, leaving them as they
    // are (every change was written when it happened) instead of taking them apart under it.
    std::cerr << "Pelrion ended while a transfer was still stopping." << std::endl;
    std::fflush(nullptr);
    _exit(0);
  }
  if (gui) gui->Finish();
  application.reset();
  gui.reset();
  platform::SetDialogs(nullptr);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace pelrion;
  const app::RunOptions options =
      app::ParseRunOptions(std::vector<std::string>(argv + 1, argv + argc));
  switch (options.mode) {
    case app::RunMode::kHelp:
      std::cout << app::HelpText();
      return 0;
    case app::RunMode::kVersion:
      std::cout << app::VersionText();
      return 0;
    case app::RunMode::kUsage:
      std::cerr << options.error << std::endl;
      return 2;
    case app::RunMode::kCommand:
      return app::RunCommandLine(options.words, std::cin, std::cout, std::cerr);
    case app::RunMode::kRun:
      break;
  }
  return RunProgram(argc, argv, options.headless || !HasDisplay());
}
