#include "app/stores.h"

#include "app/startup_stages.h"

namespace pelrion::app {
namespace {

void ShowStage(const StoreSetup& setup, std::string_view text) {
  if (setup.show_stage) setup.show_stage(text);
}

// Listener records first: an account whose listeners are missing is dropped, and then
// every listener no account refers to.
void LoadAccounts(Stores& stores, const StoreSetup& setup) {
  ShowStage(setup, kStageAccounts);
  const std::string& db = setup.database_folder;
  stores.listeners = std::make_unique<store::ListenerTable>(
      db, setup.main_thread, setup.listener_control, setup.status_notices, setup.registry,
      setup.port_probe);
  stores.listeners->Load();
  stores.accounts = std::make_unique<store::AccountTable>(db, *stores.listeners,
                                                          setup.main_thread, setup.status_notices);
  stores.accounts->Load();
}

void LoadAddressLists(Stores& stores, const StoreSetup& setup) {
  ShowStage(setup, kStageAddressLists);
  const std::string& db = setup.database_folder;
  stores.address_lists = std::make_unique<store::AddressListTable>(db);
  stores.address_lists->Load();
  stores.trusted_domains = std::make_unique<store::TrustedDomainList>(db);
  stores.trusted_domains->Load();
}

// Messages of accounts that no longer exist are dropped; each kept one counts for its
// account. The held-sender list exists first: it hears of every arrival in the Quarantine.
void LoadMessages(Stores& stores, const StoreSetup& setup) {
  ShowStage(setup, kStageMessages);
  stores.pending_senders = std::make_unique<validation::PendingSenderList>(setup.preferences);
  stores.messages = std::make_unique<store::MessageTable>(
      setup.database_folder, *stores.accounts, *stores.pending_senders, setup.folders_view);
  stores.messages->Load();
}

// The duplicate digests, then the held senders rebuilt from the stored Quarantine messages
// without drawing new request numbers; from then on every arrival in the Quarantine joins
// its sender's entry.
void Initialize(Stores& stores, const StoreSetup& setup) {
  ShowStage(setup, kStageInitializing);
  stores.digests =
      std::make_unique<store::DuplicateDigestTable>(setup.database_folder, *stores.accounts);
  stores.digests->Load();
  stores.pending_senders->Rebuild(*stores.messages);
  stores.quarantine = std::make_unique<validation::Quarantine>(
      *stores.pending_senders, *stores.messages, *stores.address_lists, setup.preferences);
  stores.message_calls = std::make_unique<store::MessageCalls>(
      setup.main_thread, *stores.messages, *stores.digests, *stores.accounts);
  stores.address_calls =
      std::make_unique<store::AddressCalls>(setup.main_thread, *stores.address_lists);
}

}  // namespace

void Stores::Close() {
  address_calls.reset();
  message_calls.reset();
  quarantine.reset();
  digests.reset();
  messages.reset();
  pending_senders.reset();
  trusted_domains.reset();
  address_lists.reset();
  accounts.reset();
  listeners.reset();
}

void OpenStores(Stores& stores, const StoreSetup& setup) {
  stores.Close();
  LoadAccounts(stores, setup);
  LoadAddressLists(stores, setup);
  LoadMessages(stores, setup);
  Initialize(stores, setup);
}

}  // namespace pelrion::app
