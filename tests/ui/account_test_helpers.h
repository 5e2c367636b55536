// What the account window tests share: message boxes answered from a script and recorded,
// and real stores in a temporary folder with the ports the account windows take.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/stores_fixture.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "store/account_removal_peers.h"
#include "support/temp_dir.h"
#include "transport/listener_reports.h"
#include "transport/listener_threads.h"
#include "ui/account_window_ports.h"
#include "ui/scripted_dialogs.h"

namespace pelrion::ui::testing_support {

// Listener threads that report nothing and start only what the table holds.
class QuietReports : public transport::ListenerReports {
 public:
  void ListenerListening(std::uint32_t) override {}
  void ListenerFailed(std::uint32_t, const std::string&) override {}
};

// Real stores (every listener port counts as free, nothing is started) and the account
// windows' ports over them.
class AccountWorld {
 public:
  AccountWorld();

  app::Stores& stores() { return fixture_.stores; }
  platform::MemoryRegistry& registry() { return registry_; }
  AccountWindowPorts ports();

  // An account as the wizard would make it; its id.
  std::uint32_t AddAccount(const std::string& friendly_name,
                           const std::string& pop3_host = "pop.example.org",
                           std::uint32_t pop3_port = 110);

  int redraws = 0;  // how often the message list was told to redraw

 private:
  test_support::TempDir dir_;
  apptest::StoresFixture fixture_;
  platform::MemoryRegistry registry_;
  QuietReports reports_;
  transport::ListenerThreads threads_;
  std::unique_ptr<store::MessageStoreRemovalPeers> removal_;
  NoMailClients mail_clients_;
};

}  // namespace pelrion::ui::testing_support
