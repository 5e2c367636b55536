#include "app/program_workers.h"

#include <system_error>
#include <utility>

#include "platform/fatal_stop.h"
#include "transport/mail_check_thread.h"
#include "transport/send_thread.h"
#include "transport/send_tls_copy.h"
#include "validation/send_work.h"

namespace pelrion::app {

ProgramWorkers::ProgramWorkers(platform::MainThread& main_thread, Stores& stores,
                               const platform::Registry& registry,
                               const core::Preferences& preferences, WorkerSettings settings)
    : main_(main_thread),
      stores_(stores),
      registry_(registry),
      preferences_(preferences),
      settings_(std::move(settings)) {}

ProgramWorkers::~ProgramWorkers() {
  // The queue's references go back to tables that are still open; a send thread works on
  // its copy and never reads the queue.
  validation::ReleaseSendQueue(queue_, QueueStores());
  for (RunThread& entry : threads_) {
    // A worker whose end was handled is past its last call and returns at once. One that
    // has not ended may be blocked on a call nobody serves now (it outlived the wait at
    // exit): joining would wait for ever; it owns its run, and the process is ending.
    if (entry.run != current_ || entry.run->returned.load(std::memory_order_acquire)) {
      entry.thread.join();
    } else {
      entry.thread.detach();
    }
  }
}

std::vector<std::uint32_t> ProgramWorkers::IncludedAccountIds() const {
  std::vector<std::uint32_t> ids;
  for (const std::uint32_t id : stores_.accounts->Ids()) {
    const std::optional<store::MailAccount> account = stores_.accounts->CopyOf(id);
    if (account && account->included != 0) ids.push_back(id);
  }
  return ids;
}

void ProgramWorkers::StartCheck(const std::vector<std::uint32_t>& account_ids,
                                transport::WorkerReports& reports) {
  auto run = std::make_shared<Run>();
  run->check = CopyCheckWork(stores_, registry_, settings_.database_folder, account_ids);
  run->services = Services();
  const int timeout = settings_.timeout_seconds;
  Launch(std::move(run), [&reports, timeout](Run& r) {
    transport::MailCheckThread(r.job, r.check, r.services->fate(), reports, timeout).Run();
  });
}

bool ProgramWorkers::StartSending(transport::WorkerReports& reports) {
  if (!validation::BuildSendQueue(queue_, *stores_.pending_senders, QueueStores())) {
    return false;
  }
  auto run = std::make_shared<Run>();
  run->send = validation::CopySendWork(queue_, preferences_);
  transport::CopySendTls(run->send, registry_);
  run->outcomes =
      std::make_unique<validation::MainThreadQuarantineEvents>(main_, *stores_.quarantine);
  const int timeout = settings_.timeout_seconds;
  Launch(std::move(run), [&reports, timeout](Run& r) {
    transport::SendThread(r.job, r.send, reports, *r.outcomes, timeout).Run();
  });
  return true;
}

void ProgramWorkers::StopWorker() {
  if (current_ != nullptr) current_->job.RequestStop();
}

void ProgramWorkers::WorkerEnded() {
  // The run's thread is inside its last call into this thread: it is joined later, once it
  // has returned.
  validation::ReleaseSendQueue(queue_, QueueStores());
  current_.reset();
  JoinReturned();
}

bool ProgramWorkers::ThreadAlive() const {
  for (const RunThread& entry : threads_) {
    if (!entry.run->returned.load(std::memory_order_acquire)) return true;
  }
  return false;
}

void ProgramWorkers::Launch(std::shared_ptr<Run> run, std::function<void(Run&)> body) {
  JoinReturned();
  current_ = run;
  try {
    std::thread thread([run, body = std::move(body)] {
      body(*run);
      run->returned.store(true, std::memory_order_release);
    });
    threads_.push_back({std::move(run), std::move(thread)});
  } catch (const std::system_error&) {
    platform::FatalStop(platform::kThreadStartFailed);
  }
}

void ProgramWorkers::JoinReturned() {
  std::erase_if(threads_, [](RunThread& entry) {
    if (!entry.run->returned.load(std::memory_order_acquire)) return false;
    entry.thread.join();
    return true;
  });
}

validation::SendQueueStores ProgramWorkers::QueueStores() const {
  return {*stores_.messages, *stores_.accounts, *stores_.listeners};
}

std::shared_ptr<MailCheckServices> ProgramWorkers::Services() {
  if (services_ == nullptr || services_challenge_ != preferences_.challenge) {
    services_challenge_ = preferences_.challenge;
    services_ = std::make_shared<MailCheckServices>(
        stores_, main_, settings_.database_folder, settings_.temp_folder,
        settings_.installation_id, services_challenge_);
  }
  return services_;
}

}  // namespace pelrion::app
