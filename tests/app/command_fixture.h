// The running program's parts the control commands act on, in-process: real stores in a
// temporary folder, real listener threads, a real mail cycle over recording workers, and a
// dialogs port that fails the test when anything asks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/command_context.h"
#include "app/stores.h"
#include "cycle/cycle_ports.h"
#include "cycle/mail_cycle.h"
#include "platform/control_message.h"
#include "platform/dialogs.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "store/folders_view.h"
#include "support/temp_dir.h"
#include "transport/listener_threads.h"
#include "transport/worker_reports.h"

namespace pelrion::apptest {

// A command must never ask: every question fails the test.
class ForbiddenDialogs : public platform::Dialogs {
 public:
  platform::DialogAnswer MessageBox(std::string_view text, std::string_view caption,
                                    platform::DialogIcon icon,
                                    platform::DialogButtons buttons) override;
  std::optional<std::string> ChooseFolder(std::string_view title) override;
  void ShowStatus(std::string_view) override {}
  void ShowStartupStage(std::string_view) override {}
};

// Workers that start nothing: they record what the cycle asked for and keep the reports
// port, through which a test plays the worker's part.
class RecordingWorkers : public cycle::CycleWorkers {
 public:
  explicit RecordingWorkers(const app::Stores& stores) : stores_(stores) {}
  std::vector<std::uint32_t> IncludedAccountIds() const override;
  void StartCheck(const std::vector<std::uint32_t>& account_ids,
                  transport::WorkerReports& reports) override;
  bool StartSending(transport::WorkerReports& reports) override;
  void StopWorker() override {}
  void WorkerEnded() override { running_ = nullptr; }
  bool ThreadAlive() const override { return running_ != nullptr; }

  std::vector<std::vector<std::uint32_t>> checks;  // the accounts of each check started
  bool sending_due = false;                        // whether StartSending finds requests
  int sendings = 0;
  transport::WorkerReports* running_ = nullptr;   // the running worker's reports

 private:
  const app::Stores& stores_;
};

class SilentCycleView : public cycle::CycleView {
 public:
  void ActivityChanged(std::string_view) override {}
  void StatusChanged(const transport::StatusRecord&) override {}
  void ReportAdded(const cycle::NetworkErrorReport&) override {}
  void IndicatorsChanged(bool, bool) override {}
};

// A TCP port of 127.0.0.1 nothing is bound to right now.
std::uint16_t UnusedPort();

class CommandWorld {
 public:
  CommandWorld();
  ~CommandWorld();

  // Runs the command as the running program does and returns its answer; fails the test
  // when it did not answer at once.
  platform::ControlReply Run(std::vector<std::string> words, std::string input = {});
  // Runs a command that answers later; the answer lands in *reply.
  void Start(std::vector<std::string> words, std::optional<platform::ControlReply>* reply);
  // The output of a --json command, parsed.
  nlohmann::json Json(std::vector<std::string> words);

  // An account made through the command, with this POP3 server port; its id.
  std::uint32_t AddAccount(const std::string& name, std::uint32_t pop3_port);
  // The download time of every filed message; none has a Date header.
  static constexpr std::int32_t kReceivedTime = 1700000000;
  // A message of sender filed with these folder flags (0: Quarantine); its id.
  std::uint32_t FileMessage(std::uint32_t account, const std::string& sender,
                            std::uint32_t flags, const std::string& subject = "hello");
  // Opens the stores anew from the folder, as the next start does.
  void Reopen();

  test_support::TempDir temp;
  std::string folder;  // the database folder, with '/'
  core::Preferences preferences;
  platform::PlainMainThread main_thread;
  platform::MemoryRegistry registry;
  ForbiddenDialogs dialogs;
  app::Stores stores;
  RecordingWorkers workers{stores};
  SilentCycleView view;
  cycle::MailCycle cycle;
  transport::ListenerThreads listeners;
  store::NoFoldersView folders_view;
  bool stop_requested = false;
  app::CommandContext context;
};

}  // namespace pelrion::apptest
