// The desktop program's main window, wired into start-up and shutdown: made before the stores
// open (its list hears of every message they load), attached once start-up has made the
// stores, the cycle and the listeners, shown on the first run or where the desktop has no
// tray, and taken off the stores before they close. Linked only into the executable: the
// application library stays free of widgets.
#pragma once

#include <map>
#include <memory>

#include "app/application.h"
#include "store/account_removal_peers.h"
#include "ui/address_lists_window.h"
#include "ui/main_window.h"
#include "ui/message_list_model.h"
#include "ui/wizard_mail_clients_found.h"

namespace pelrion::app {

class GuiProgram {
 public:
  // Becomes app's cycle view and folders view; app must outlive this object's use and be
  // taken apart only after Finish.
  explicit GuiProgram(Application& app);
  ~GuiProgram();
  GuiProgram(const GuiProgram&) = delete;
  GuiProgram& operator=(const GuiProgram&) = delete;

  // After a successful start-up: the window gets the stores, the cycle, the listeners and
  // the settings windows; a first run shows it and, once the event loop runs, the account
  // wizard (or the upgrade notice).
  void Started();
  // After the event loop: the layout is kept for the next run.
  void Stopping();
  // Before the stores close: the window and its list let go of them.
  void Finish();

  ui::MainWindow& window() { return *window_; }

 private:
  // The settings windows by the command that opens each; they live while they are open,
  // except Address Lists, which follows its table for the whole run.
  std::map<ui::Command, std::function<void()>> SettingsWindows();
  void ShowOptions();
  void RunFirstRun();
  // The listeners' threads, or a control that runs none when the program serves no client.
  store::ListenerControl& ListenerThreads();

  Application& app_;
  ui::MessageListModel model_;
  std::unique_ptr<ui::MainWindow> window_;
  // The e-mail programs the wizard offers to import an account from, looked for afresh each
  // time it lists them.
  std::unique_ptr<ui::InstalledMailClients> mail_clients_;
  std::unique_ptr<store::MessageStoreRemovalPeers> removal_;
  std::unique_ptr<ui::AddressListsWindow> address_lists_;
};

}  // namespace pelrion::app
