// The listeners as the program runs them: one thread per listener, and each connection
// served by the local POP3 server or the SMTP relay, wired to the stores.
#pragma once

#include <cstdint>
#include <string>

#include "app/stores.h"
#include "core/preferences.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "transport/listener_reports.h"
#include "transport/listener_threads.h"
#include "transport/listener_work.h"
#include "transport/net_connection.h"
#include "transport/worker_job.h"

namespace pelrion::app {

// What the sessions are told about this installation.
struct SessionSettings {
  std::string database_folder;  // ends in '/'
  std::string installation_id;  // stamped on every relayed message
  std::string host_name;        // in the relayed messages' new Message-id
};

class ProgramListeners {
 public:
  // Made before the stores are opened (the listener table is given threads() as its
  // ListenerControl); a session reads the stores only once a listener runs, which is after
  // they are open. Everything given outlives this object, which must go while the main
  // thread can still serve calls (its end stops every listener).
  ProgramListeners(platform::MainThread& main_thread, Stores& stores,
                   const platform::Registry& registry, const core::Preferences& preferences,
                   transport::ListenerReports& reports, SessionSettings settings);

  transport::ListenerThreads& threads() { return threads_; }
  // Starts every listener of the table, as start-up does.
  void StartAll();

 private:
  void RunSession(transport::NetConnection& client, transport::WorkerJob& record,
                  const transport::ListenerWork& listener);
  bool TrustRecipients();

  platform::MainThread& main_;
  Stores& stores_;
  const core::Preferences& preferences_;
  SessionSettings settings_;
  transport::ListenerThreads threads_;
};

}  // namespace pelrion::app
