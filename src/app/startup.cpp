#include "app/startup.h"

#include <iostream>

#include "app/control_wiring.h"
#include "core/autostart.h"
#include "core/first_run_texts.h"
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
  // The desktop entry follows the preference at every start of the desktop program; failing
  // to write it is not a reason to refuse to start. Headless copies leave it alone: they run
  // as services or from scripts, and a login entry would race a service at every login.
  if (app.headless) return;
  if (auto executable = core::CurrentExecutablePath()) {
    core::ApplyAutostart(app.preferences.autostart != 0, *executable);
  }
}

void LoadCredentials(Application& app) {
  app.dialogs.ShowStartupStage(kStageCredentials);
  app.installation_id = store::LoadInstallationId(app.folders.database + "db6.dat");
}

// The workers, the mail cycle and the listeners, made before the stores open: the listener
// table starts and stops listener threads through them, and the account and listener tables
// clear their network-error reports through the cycle. Nothing is started yet.
void CreateCycleAndListeners(Application& app) {
  if (app.view == nullptr) return;
  app.workers = std::make_unique<ProgramWorkers>(
      app.main_thread, app.stores, app.registry, app.preferences,
      WorkerSettings{.database_folder = app.folders.database,
                     .temp_folder = app.folders.temp,
                     .installation_id = app.installation_id});
  app.cycle = std::make_unique<cycle::MailCycle>(cycle::CyclePorts{
      .main_thread = app.main_thread,
      .dialogs = app.dialogs,
      .registry = app.registry,
      .preferences = app.preferences,
      .workers = *app.workers,
      .view = *app.view});
  app.listeners = std::make_unique<ProgramListeners>(
      app.main_thread, app.stores, app.registry, app.preferences,
      app.cycle->listener_reports(),
      SessionSettings{.database_folder = app.folders.database,
                      .installation_id = app.installation_id,
                      .host_name = app.host_name});
}

// Accounts, address lists, messages and the held senders; in GUI mode the main window is
// created at the start of the "Initializing..." stage, before the digests load.
void OpenAllStores(Application& app) {
  platform::Dialogs& dialogs = app.dialogs;
  store::ListenerControl& listener_control =
      app.listeners ? static_cast<store::ListenerControl&>(app.listeners->threads())
                    : app.no_listener_control;
  store::StatusNotices& status_notices =
      app.cycle ? static_cast<store::StatusNotices&>(*app.cycle) : app.no_status_notices;
  OpenStores(app.stores, {.database_folder = app.folders.database,
                          .preferences = app.preferences,
                          .main_thread = app.main_thread,
                          .listener_control = listener_control,
                          .status_notices = status_notices,
                          .folders_view = app.folders_view ? *app.folders_view
                                                           : app.no_folders_view,
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

// One listener thread per listener record.
void StartListeners(Application& app) {
  app.dialogs.ShowStartupStage(kStageListeners);
  if (app.listeners) app.listeners->StartAll();
}

// Headless, the first run has no wizard to show: it says how to add the first account, or,
// when accounts exist already, tells the upgrading user what to change.
void GreetFirstRun(Application& app) {
  if (app.stores.accounts->size() == 0) {
    std::cerr << kFirstRunHint << std::endl;
  } else {
    app.dialogs.MessageBox(core::kUpgradeNotice, "Pelrion", platform::DialogIcon::kInformation,
                           platform::DialogButtons::kOk);
  }
}

// "setonce" is absent only on the very first run; every start past this point ends it.
void CheckFirstRun(Application& app) {
  app.first_run = !app.registry.GetBinary(platform::kProgramKey, kSetOnceValue).has_value();
  app.registry.SetNumber(platform::kProgramKey, kSetOnceValue, 1);
  // With a window, the first run shows it and runs the account wizard or the upgrade notice.
  if (app.first_run && app.headless) GreetFirstRun(app);
}

}  // namespace

bool StartupMain(Application& app) {
  app.host_name = platform::HostName();
  if (!InitializeDirectories(app)) return false;
  LoadSettings(app);
  LoadCredentials(app);
  CreateCycleAndListeners(app);
  OpenAllStores(app);
  StartQuarantineExpiry(app);
  // Messages and texts are shown with the desktop's programs for ".eml" and ".txt".
  app.viewers = platform::LookUpViewerCommands();
  StartListeners(app);
  CheckFirstRun(app);
  // With "checkmail" on, the first check starts now; otherwise the due requests are sent.
  if (app.cycle) app.cycle->CycleTick();
  StartControlServer(app);
  return true;
}

}  // namespace pelrion::app
