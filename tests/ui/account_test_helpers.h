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

namespace pelrion::ui::testing_support {

struct ShownBox {
  std::string text;
  std::string caption;
  platform::DialogIcon icon;
  platform::DialogButtons buttons;
};

// Installed as the current Dialogs while it lives. Each box takes the next scripted answer;
// with none left, the default a closed box would give (OK, or No, or Cancel).
class ScriptedDialogs : public platform::Dialogs {
 public:
  ScriptedDialogs() { platform::SetDialogs(this); }
  ~ScriptedDialogs() override { platform::SetDialogs(nullptr); }
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

  platform::DialogAnswer MessageBox(std::string_view text, std::string_view caption,
                                    platform::DialogIcon icon,
                                    platform::DialogButtons buttons) override;
  std::optional<std::string> ChooseFolder(std::string_view) override { return std::nullopt; }
  void ShowStatus(std::string_view) override {}
  void ShowStartupStage(std::string_view) override {}

  // The texts shown, in order.
  std::vector<std::string> Texts() const;

  std::deque<platform::DialogAnswer> answers;
  std::vector<ShownBox> boxes;
};

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
