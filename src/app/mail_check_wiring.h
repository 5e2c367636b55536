// What the mail-check thread is given: the copy of its accounts, and the store services its
// messages' fates are decided with (arrival analysis over the store's files, the quarantine
// and the address lists reached through the main thread). Built on the main thread; the
// mail cycle and the check tool use the same wiring.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/stores.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "transport/check_work.h"
#include "transport/tls_policy.h"
#include "transport/worker_job.h"
#include "transport/worker_reports.h"
#include "validation/main_thread_quarantine_events.h"
#include "validation/message_fate.h"

namespace pelrion::app {

class MailCheckServices {
 public:
  // The stores and the main thread must outlive this object. database_folder and
  // temp_folder end in '/'.
  MailCheckServices(Stores& stores, platform::MainThread& main_thread,
                    const std::string& database_folder, const std::string& temp_folder,
                    std::string installation_id, std::uint32_t challenge);
  MailCheckServices(const MailCheckServices&) = delete;
  MailCheckServices& operator=(const MailCheckServices&) = delete;

  const validation::FateServices& fate() const { return fate_; }

 private:
  validation::MainThreadQuarantineEvents events_;
  validation::ArrivalChecks checks_;
  validation::ClassificationContext context_;
  validation::FateServices fate_;
};

// The work for the given accounts in this order, each with its POP3 listener's server and TLS
// settings; accounts (or listeners) that no longer exist are left out. Main thread only.
transport::CheckWork CopyCheckWork(const Stores& stores, const platform::Registry& registry,
                                   const std::string& database_folder,
                                   const std::vector<std::uint32_t>& account_ids);

// Runs one check on a thread of its own while the calling main thread serves the calls the
// check makes, and returns the check's code (1 when a stop ended it). For the check tool and
// the tests: the mail cycle starts the thread and carries on.
int CheckAndWait(platform::MainThread& main_thread, transport::WorkerJob& job,
                 const transport::CheckWork& work, const validation::FateServices& fate,
                 transport::WorkerReports& reports, int timeout_seconds,
                 transport::PlainConversationPolicy policy = transport::DecidePlainConversation);

}  // namespace pelrion::app
