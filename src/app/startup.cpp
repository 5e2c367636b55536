#include "app/startup.h"

#include "core/autostart.h"
#include "platform/host_name.h"
#include "platform/single_instance.h"
#include "platform/viewer.h"
#include "store/installation_id.h"

namespace pelrion::app {
namespace {

constexpr std::string_view kSetOnceValue = "setonce";

// Folders resolved and created; files a previous run left in TempFolder removed.
bool InitializeDirectories(Application& app) {
  app.dialogs.ShowStartupStage(kStageDirectories);
  auto folders = platform::ResolveFolders(app.registry, app.dialogs);
  if (!folders) return false;
  app.folders = std::move(*folders);
  // A second copy on the same data or database folder ends here, silently.
  if (!platform::LockFolders(app.instance, app.folders, app.dialogs)) return false;
  // A file that cannot be removed is left for the next start; it is ours and harmless.
  platform::EmptyFolder(app.folders.temp);
  return true;
}

void LoadSettings(Application& app) {
  app.dialogs.ShowStartupStage(kStageSettings);
  app.preferences = core::LoadPreferences(app.registry, app.folders.templates);
  // The desktop entry follows the preference at every start; failing to write it is not a
  // reason to refuse to start.
  if (auto executable = core::CurrentExecutablePath()) {
    core::ApplyAutostart(app.preferences.autostart != 0, *executable);
  }
}

void LoadCredentials(Application& app) {
  app.dialogs.ShowStartupStage(kStageCredentials);
  app.installation_id = store::LoadInstallationId(app.folders.database + "db6.dat");
}

// Accounts, address lists, messages and the held senders; in GUI mode the main window is
// created at the start of the "Initializing..." stage, before the digests load.
void OpenAllStores(Application& app) {
  platform::Dialogs& dialogs = app.dialogs;
  OpenStores(app.stores, {.database_folder = app.folders.database,
                          .preferences = app.preferences,
                          .main_thread = app.main_thread,
                          .listener_control = app.no_listener_control,
                          .status_notices = app.no_status_notices,
                          .folders_view = app.no_folders_view,
                          .registry = app.registry,
                          .show_stage = [&dialogs](std::string_view text) {
                            dialogs.ShowStartupStage(text);
                          }});
}

// The time limit is applied once now and then every hour.
void StartQuarantineExpiry(Application& app) {
  validation::Quarantine& quarantine = *app.stores.quarantine;
  quarantine.ExpireQuarantine();
  app.main_thread.SetTimer(kQuarantineExpiryTimer, kQuarantineExpiryPeriodMs,
                           [&quarantine] { quarantine.ExpireQuarantine(); });
}

void CreateListeners(Application& app) {
  app.dialogs.ShowStartupStage(kStageListeners);
  // One listener thread per listener record.
}

// "setonce" is absent only on the very first run; every start past this point ends it.
void CheckFirstRun(Application& app) {
  app.first_run = !app.registry.GetBinary(platform::kProgramKey, kSetOnceValue).has_value();
  app.registry.SetNumber(platform::kProgramKey, kSetOnceValue, 1);
  // First run: the main window shown, the account wizard or the upgrade notice (GUI).
}

}  // namespace

bool StartupMain(Application& app) {
  app.host_name = platform::HostName();
  if (!InitializeDirectories(app)) return false;
  LoadSettings(app);
  LoadCredentials(app);
  OpenAllStores(app);
  StartQuarantineExpiry(app);
  // Messages and texts are shown with the desktop's programs for ".eml" and ".txt".
  app.viewers = platform::LookUpViewerCommands();
  CreateListeners(app);
  CheckFirstRun(app);
  // The first mail-cycle tick comes here.
  return true;
}

}  // namespace pelrion::app
