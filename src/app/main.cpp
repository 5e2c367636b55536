// pelrion: the GUI when a display is available, the headless proxy otherwise (--headless
// forces it). Exit codes: 0 normal end, 1 failed start, FatalStop or a second copy.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include <QApplication>
#include <QCoreApplication>

#include "app/application.h"
#include "app/quit_on_signal.h"
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

bool HasArgument(int argc, char** argv, const char* wanted) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], wanted) == 0) return true;
  }
  return false;
}

bool HasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
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

}  // namespace

int main(int argc, char** argv) {
  using namespace pelrion;
  // Process-wide: must come before any thread exists, so every thread inherits it.
  transport::PrepareProcessForNetwork();

  // A second copy on the same data ends at once, silently, before it shows anything. The
  // lock is retried, and the database folder's taken, once start-up has resolved the folders.
  platform::SingleInstance instance;
  if (instance.LockFolder(platform::DataFolderPath()) == platform::LockOutcome::kTakenByAnother) {
    return 1;
  }
  platform::SeedRandFromClock();
  // Any failed allocation anywhere ends the program the one documented way.
  std::set_new_handler([] { platform::FatalStop(platform::kInsufficientMemory); });

  const bool headless = HasArgument(argc, argv, "--headless") || !HasDisplay();
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
  app::Application application(registry, main_thread, dialogs);
  application.instance = std::move(instance);
  if (!app::StartupMain(application)) return 1;

  qt_app->exec();
  app::Shutdown(application);
  platform::SetDialogs(nullptr);
  return 0;
}
