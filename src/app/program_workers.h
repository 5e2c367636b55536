// The mail cycle's workers as the program runs them: the mail-check thread over the
// included accounts, and the send thread over the authorization requests that are due, each
// on a std::thread of its own with a copy of its work, wired to the stores through the main
// thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/mail_check_wiring.h"
#include "app/stores.h"
#include "core/preferences.h"
#include "cycle/cycle_ports.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "transport/worker_job.h"
#include "validation/main_thread_quarantine_events.h"
#include "validation/send_queue.h"
#include "validation/send_work.h"

namespace pelrion::app {

// What the workers are told about this installation.
struct WorkerSettings {
  std::string database_folder;  // ends in '/'
  std::string temp_folder;      // ends in '/'
  std::string installation_id;
  int timeout_seconds = 200;    // every read and write of a session
};

class ProgramWorkers : public cycle::CycleWorkers {
 public:
  // Everything given must outlive this object; the stores must be open before the first
  // worker starts.
  ProgramWorkers(platform::MainThread& main_thread, Stores& stores,
                 const platform::Registry& registry, const core::Preferences& preferences,
                 WorkerSettings settings);
  // Joins the threads of the workers that ended; one still running (it outlived the wait
  // at exit) is left to the process's end rather than aborting it.
  ~ProgramWorkers() override;
  ProgramWorkers(const ProgramWorkers&) = delete;
  ProgramWorkers& operator=(const ProgramWorkers&) = delete;

  std::vector<std::uint32_t> IncludedAccountIds() const override;
  void StartCheck(const std::vector<std::uint32_t>& account_ids,
                  transport::WorkerReports& reports) override;
  bool StartSending(transport::WorkerReports& reports) override;
  void StopWorker() override;
  void WorkerEnded() override;
  bool ThreadAlive() const override;

 private:
  // One worker's thread and what it owns: a job is good for one run only.
  struct Run {
    transport::WorkerJob job;
    transport::CheckWork check;
    validation::SendWork send;
    std::shared_ptr<MailCheckServices> services;  // kept alive for the thread
    std::unique_ptr<validation::MainThreadQuarantineEvents> outcomes;
    std::atomic<bool> returned{false};
  };
  struct RunThread {
    std::shared_ptr<Run> run;
    std::thread thread;
  };

  void Launch(std::shared_ptr<Run> run, std::function<void(Run&)> body);
  // Joins the threads that have returned.
  void JoinReturned();
  validation::SendQueueStores QueueStores() const;
  std::shared_ptr<MailCheckServices> Services();

  platform::MainThread& main_;
  Stores& stores_;
  const platform::Registry& registry_;
  const core::Preferences& preferences_;
  WorkerSettings settings_;

  // Built at the first check, when the stores are open; built anew only when the
  // "challenge" preference it copies has changed.
  std::shared_ptr<MailCheckServices> services_;
  std::uint32_t services_challenge_ = 0;
  validation::SendQueue queue_;  // the references the running send holds

  std::shared_ptr<Run> current_;  // the running worker's, until WorkerEnded
  std::vector<RunThread> threads_;
};

}  // namespace pelrion::app
