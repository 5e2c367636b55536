// The running program's state: what start-up resolves and loads, what the later steps,
// the windows and the workers use, and what shutdown takes apart again.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "core/preferences.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/single_instance.h"
#include "store/account_table.h"
#include "store/address_list_table.h"
#include "store/duplicate_digest_table.h"
#include "store/listener_table.h"
#include "store/message_table.h"
#include "store/trusted_domains.h"
#include "validation/pending_sender_list.h"
#include "validation/quarantine.h"

namespace pelrion::core {

struct Application {
  explicit Application(platform::Registry& registry_in) : registry(registry_in) {}

  platform::Registry& registry;
  // The locks of this running copy; declared first so they are released last.
  platform::SingleInstance instance;
  platform::Folders folders;
  std::string host_name;
  std::string installation_id;
  Preferences preferences;

  // The stores, created once the database folder is known, in load order. Declaration
  // order matters: a table is destroyed before the tables it refers to.
  std::unique_ptr<store::ListenerTable> listeners;
  std::unique_ptr<store::AccountTable> accounts;
  std::unique_ptr<store::AddressListTable> address_lists;
  std::unique_ptr<store::TrustedDomainList> trusted_domains;
  std::unique_ptr<store::MessageTable> messages;
  std::unique_ptr<store::DuplicateDigestTable> digests;
  // The senders whose mail is held, and the decisions about them; both refer to the
  // message table and the address lists, so they go first.
  std::unique_ptr<validation::PendingSenderList> pending_senders;
  std::unique_ptr<validation::Quarantine> quarantine;
  bool first_run = false;  // "setonce" was absent when this start began

  // Set when shutdown begins; workers read it to stop early.
  std::atomic<bool> shutting_down{false};
};

}  // namespace pelrion::core
