#include "core/startup.h"

#include "core/autostart.h"
#include "platform/dialogs.h"
#include "platform/host_name.h"
#include "platform/main_thread.h"
#include "platform/single_instance.h"
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
  // A second copy on the same data or database folder ends here, silently.
  if (!platform::LockFolders(app.instance, app.folders, platform::CurrentDialogs())) return false;
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
  app.listeners = std::make_unique<store::ListenerTable>(app.folders.database);
  app.listeners->Load();
  app.accounts = std::make_unique<store::AccountTable>(app.folders.database, *app.listeners);
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
// account.
void LoadMessages(Application& app) {
  SetStartupStage(kStageMessages);
  app.messages = std::make_unique<store::MessageTable>(app.folders.database, *app.accounts);
  app.messages->Load();
}

// The held senders are rebuilt from the stored Quarantine messages without drawing new
// request numbers, then the time limit is applied once now and every hour.
void StartQuarantine(Application& app) {
  app.pending_senders =
      std::make_unique<validation::PendingSenderList>(*app.messages, app.preferences);
  app.messages->SetHeldMessages(app.pending_senders.get());
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
