// The body of one listener thread: bind, listen, and hand every accepted connection to a
// session thread of its own, until the listener is stopped or fails.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "transport/active_connection_list.h"
#include "transport/listener_reports.h"
#include "transport/listener_work.h"
#include "transport/net_error.h"
#include "transport/worker_job.h"

namespace pelrion::transport {

// How long the accept loop rests after a failure it outlives (no descriptor left, a client
// gone before it was taken): the waiting connection is taken again afterwards.
inline constexpr std::chrono::milliseconds kAcceptPause{100};

// The name listener threads carry.
inline constexpr char kListenerThreadName[] = "listener";

// What a listener thread needs; everything referred to outlives the run.
struct ListenerRun {
  WorkerJob& job;  // slot 0: the listening socket; its stop flag ends the run
  std::shared_ptr<const ListenerWork> listener;
  std::shared_ptr<const SessionRunner> runner;
  ListenerReports& reports;
  ActiveConnectionList& connections;
  int session_timeout_seconds;
};

// Serves the listener until its stop flag is set (returns quietly) or a bind, listen or accept
// failure ends it (reported with ListenerFailureText). Sessions started go on by themselves.
void ListenerThread(const ListenerRun& run);

// "Listener '%s (%s)': %s." with the listener's display name and the error's text.
std::string ListenerFailureText(const ListenerWork& listener, NetError error);

// Whether an accept failure passes by itself, so the listener rests and goes on.
bool IsTransientAcceptError(NetError error);

}  // namespace pelrion::transport
