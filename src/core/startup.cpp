#include "core/startup.h"

#include "core/autostart.h"
#include "platform/dialogs.h"
#include "platform/host_name.h"
#include "platform/main_thread.h"
#include "store/installation_id.h"

namespace pelrion::core {
namespace {

constexpr std::string_view kSetOnceValue = "setonce";

// Nothing starts listener threads, shows network-error notices or lists messages yet: the
// transport layer and the main window are not built.
store::NoListenerControl no_listener_control;
store::NoStatusNotices no_status_notices;
store::NoFoldersView no_folders_view;

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

// Listener records first: an account whose listeners are missing is dropped, and then
// every listener no account refers to.
void LoadAccounts(Application& app) {
  SetStartupStage(kStageAccounts);
  platform::MainThread& main_thread = platform::CurrentMainThread();
  app.listeners = std::make_unique<store::ListenerTable>(
      app.folders.database, main_thread, no_listener_control, no_status_notices);
  app.listeners->Load();
  app.accounts = std::make_unique<store::AccountTable>(app.folders.database, *app.listeners,
                                                       main_thread, no_status_notices);
  app.accounts->Load();
}

void LoadAddressLists(Application& app) {
  SetStartupStage(kStageAddressLists);
  app.address_lists = std::make_unique<store::AddressListTable>(app.folders.database);
  app.address_lists->Load();
  app.trusted_domains = std::make_unique<store::TrustedDomainList>(app.folders.database);
  app.trusted_domains->Load();
}

// Messages of accounts that no longer exist are dropped; each kept one counts for its
// account. The quarantine's list of held senders exists first: it hears of every message
// that arrives in the Quarantine.
void LoadMessages(Application& app) {
  SetStartupStage(kStageMessages);
  app.pending_senders = std::make_unique<validation::PendingSenderList>(app.preferences);
  app.messages = std::make_unique<store::MessageTable>(app.folders.database, *app.accounts,
                                                       *app.pending_senders, no_folders_view);
  app.messages->Load();
}

// The held senders are rebuilt from the stored Quarantine messages without drawing new
// request numbers, then the time limit is applied once now and every hour.
void StartQuarantine(Application& app) {
  app.pending_senders->Rebuild(*app.messages);
  app.quarantine = std::make_unique<validation::Quarantine>(
      *app.pending_senders, *app.messages, *app.address_lists, app.preferences);
  app.quarantine->ExpireQuarantine();
  validation::Quarantine& quarantine = *app.quarantine;
  platform::CurrentMainThread().SetTimer(kQuarantineExpiryTimer, kQuarantineExpiryPeriodMs,
                                         [&quarantine] { quarantine.ExpireQuarantine(); });
}

void Initialize(Application& app) {
  SetStartupStage(kStageInitializing);
  // The main window comes first here in GUI mode.
  app.digests = std::make_unique<store::DuplicateDigestTable>(app.folders.database,
                                                               *app.accounts);
  app.digests->Load();
  StartQuarantine(app);
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
  platform::CurrentMainThread().KillTimer(kQuarantineExpiryTimer);
  // In order: listeners stopped; the Trash emptied when "emptytrash" is on; the running
  // mail worker stopped and waited for while queued main-thread calls are still served.
  platform::CurrentMainThread().PumpPending();
}

}  // namespace pelrion::core
