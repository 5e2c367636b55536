#include "core/startup.h"

#include "core/autostart.h"
#include "platform/dialogs.h"
#include "platform/host_name.h"
#include "platform/main_thread.h"
#include "store/installation_id.h"

namespace pelrion::core {
namespace {

constexpr std::string_view kSetOnceValue = "setonce";

void SetStartupStage(std::string_view text) { platform::CurrentDialogs().ShowStartupStage(text); }

// Folders resolved and created; files a previous run left in TempFolder removed.
bool InitializeDirectories(Application& app) {
  SetStartupStage(kStageDirectories);
  auto folders = platform::ResolveFolders(app.registry, platform::CurrentDialogs());
  if (!folders) return false;
  app.folders = std::move(*folders);
  // A file that cannot be removed is left for the next start; it is ours and harmless.
  platform::EmptyFolder(app.folders.temp);
  return true;
}

void LoadSettings(Application& app) {
  SetStartupStage(kStageSettings);
  app.preferences = LoadPreferences(app.registry, app.folders.templates);
  // The desktop entry follows the preference at every start; failing to write it is not a
  // reason to refuse to start.
  if (auto executable = CurrentExecutablePath()) {
    ApplyAutostart(app.preferences.autostart != 0, *executable);
  }
}

void LoadCredentials(Application& app) {
  SetStartupStage(kStageCredentials);
  app.installation_id = store::LoadInstallationId(app.folders.database + "db6.dat");
}

void LoadAccounts(Application&) {
  SetStartupStage(kStageAccounts);
  // Listener records, then accounts (dropping those whose listeners are missing), then
  // orphan listeners dropped.
}

void LoadAddressLists(Application&) {
  SetStartupStage(kStageAddressLists);
  // Contacts of both address lists, then the trusted domains.
}

void LoadMessages(Application&) {
  SetStartupStage(kStageMessages);
  // The message table; messages of missing accounts dropped.
}

void Initialize(Application&) {
  SetStartupStage(kStageInitializing);
  // Main window (GUI mode), the duplicate-digest table, the quarantine rebuild and its
  // first expiry, then the hourly expiry timer; then the viewer commands.
}

void CreateListeners(Application&) {
  SetStartupStage(kStageListeners);
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
  LoadAccounts(app);
  LoadAddressLists(app);
  LoadMessages(app);
  Initialize(app);
  CreateListeners(app);
  CheckFirstRun(app);
  // The first mail-cycle tick comes here.
  return true;
}

void Shutdown(Application& app) {
  app.shutting_down = true;
  // In order: listeners stopped; the Trash emptied when "emptytrash" is on; the running
  // mail worker stopped and waited for while queued main-thread calls are still served.
  platform::CurrentMainThread().PumpPending();
}

}  // namespace pelrion::core
