// Every store of one database folder, opened in load order and wired to one another the
// way the running program needs them. Start-up and the tests open them through OpenStores,
// so there is one place that knows the order and the wiring.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/preferences.h"
#include "platform/main_thread.h"
#include "store/account_table.h"
#include "store/address_calls.h"
#include "store/address_list_table.h"
#include "store/duplicate_digest_table.h"
#include "store/listener_table.h"
#include "store/message_calls.h"
#include "store/message_table.h"
#include "store/trusted_domains.h"
#include "validation/pending_sender_list.h"
#include "validation/quarantine.h"

namespace pelrion::app {

// Declaration order is load order; Close takes them apart in reverse, so a table always
// goes before the tables it refers to.
struct Stores {
  Stores() = default;
  Stores(const Stores&) = delete;
  Stores& operator=(const Stores&) = delete;
  ~Stores() { Close(); }

  // Every store dropped (nothing needs saving: each change was written when it happened).
  void Close();

  std::unique_ptr<store::ListenerTable> listeners;
  std::unique_ptr<store::AccountTable> accounts;
  std::unique_ptr<store::AddressListTable> address_lists;
  std::unique_ptr<store::TrustedDomainList> trusted_domains;
  // The senders whose mail is held: the message table tells it of every arrival in the
  // Quarantine, so it exists before the table and goes after it.
  std::unique_ptr<validation::PendingSenderList> pending_senders;
  std::unique_ptr<store::MessageTable> messages;
  std::unique_ptr<store::DuplicateDigestTable> digests;
  // The decisions about the held senders.
  std::unique_ptr<validation::Quarantine> quarantine;
  // What worker threads call: each operation runs on the main thread while they wait.
  std::unique_ptr<store::MessageCalls> message_calls;
  std::unique_ptr<store::AddressCalls> address_calls;
};

// What OpenStores needs from the program; everything given must outlive the stores.
struct StoreSetup {
  std::string database_folder;  // ends in '/'
  const core::Preferences& preferences;
  platform::MainThread& main_thread;
  // Who starts and stops listener threads, shows the network-error notices and lists the
  // folders' messages. Until the listener layer and the main window exist, start-up gives
  // the do-nothing ports, explicitly.
  store::ListenerControl& listener_control;
  store::StatusNotices& status_notices;
  store::FoldersView& folders_view;
  // Where listeners keep the settings their records have no room for.
  platform::Registry& registry;
  // Told the text of each loading stage as it begins ("Loading accounts..."); may be empty.
  std::function<void(std::string_view)> show_stage = {};
  // Whether a listener's local port can be bound; the real probe unless a test replaces it.
  store::ListenerTable::PortProbe port_probe = store::PortBindable;
};

// Loads listeners, then accounts (an account whose listeners are missing is dropped, then
// every listener no account refers to), address lists, trusted domains, messages (those of
// vanished accounts dropped) and the duplicate digests, then rebuilds the held senders from
// the Quarantine messages without drawing new request numbers. Missing files start empty;
// a file error ends the process through FatalStop. Stores already open are closed first,
// so opening again loads everything anew from the folder, as the next start does.
void OpenStores(Stores& stores, const StoreSetup& setup);

}  // namespace pelrion::app
