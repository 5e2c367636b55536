// The main window over real stores in a temporary folder, with a real mail cycle whose
// workers only count what they are asked, dialogs answered from a script and a viewer
// launcher that records what it was given.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/preferences.h"
#include "cycle/mail_cycle.h"
#include "platform/dialogs.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "ui/main_window.h"
#include "ui/scripted_dialogs.h"
#include "ui/message_list_test_helpers.h"

namespace pelrion::ui::window_testing {

using testing_support::ScriptedDialogs;

// Workers that start nothing; the cycle then runs its bookkeeping only.
class IdleWorkers : public cycle::CycleWorkers {
 public:
  std::vector<std::uint32_t> IncludedAccountIds() const override { return included; }
  void StartCheck(const std::vector<std::uint32_t>& ids,
                  transport::WorkerReports& reports) override {
    checks.push_back(ids);
    running = &reports;
  }
  // The started check ends, as its thread's last act would.
  void FinishCheck() {
    transport::WorkerReports* reports = running;
    running = nullptr;
    if (reports) reports->Finished();
  }
  bool StartSending(transport::WorkerReports&) override { return false; }
  void StopWorker() override {}
  void WorkerEnded() override {}
  bool ThreadAlive() const override { return false; }

  std::vector<std::uint32_t> included;
  std::vector<std::vector<std::uint32_t>> checks;
  transport::WorkerReports* running = nullptr;
};

class WindowWorld {
 public:
  WindowWorld();
  ~WindowWorld();

  list_testing::ListWorld& stores() { return list_; }
  store::MessageTable& messages() { return list_.messages(); }
  MainWindow& window() { return *window_; }
  cycle::MailCycle& cycle() { return *cycle_; }
  ScriptedDialogs& dialogs() { return dialogs_; }
  platform::PlainMainThread& main_thread() { return main_thread_; }
  platform::MemoryRegistry& registry() { return registry_; }
  core::Preferences& preferences() { return preferences_; }
  IdleWorkers& workers() { return workers_; }
  std::uint32_t account() const { return account_; }
  const std::string& temp_folder() const { return temp_folder_; }
  // Files the launcher was asked to open, and whether it succeeds.
  std::vector<std::string> launched;
  bool launch_succeeds = true;
  platform::ViewerCommand eml_viewer{.exec = "mail-viewer %f", .desktop_file = "viewer.desktop"};
  // How many mail-client connections the window is told are open.
  std::size_t connections = 0;
  // The program windows the window is given (ReopenWindow to give new ones).
  std::map<Command, std::function<void()>> windows;
  // How the window pins a refused certificate (ReopenWindow to give a new one).
  PinCertificateFn pin_certificate;

  // A fixture message filed into folder (read or not); selected alone in a window showing it.
  store::MessageRecord* FileInto(store::Folder folder,
                                 const std::string& fixture = "mailbox/trusted_dots.eml",
                                 bool read = false);
  void SelectOnly(const store::MessageRecord& record);
  // A new window over the same stores and registry, as the next run makes it.
  void ReopenWindow();

 private:
  void MakeWindow();

  list_testing::ListWorld list_;
  platform::PlainMainThread main_thread_;
  platform::MemoryRegistry registry_;
  core::Preferences preferences_;
  ScriptedDialogs dialogs_;
  IdleWorkers workers_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<cycle::MailCycle> cycle_;
  std::uint32_t account_ = 0;
  std::string temp_folder_;
};

// The folder bits of a message filed into folder.
std::uint32_t FlagsOf(store::Folder folder, bool read);

}  // namespace pelrion::ui::window_testing
