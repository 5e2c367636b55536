// The thread that serves one accepted connection from its accept to its end. Session threads
// are never stopped by the program: each ends with its connection (or at process exit).
#pragma once

#include <memory>

#include "transport/active_connection_list.h"
#include "transport/listener_work.h"

namespace pelrion::transport {

// The name session threads carry (what `ps -L` and a debugger show).
inline constexpr char kSessionThreadName[] = "session";

// Read and write time-outs of a session's connections, in seconds.
inline constexpr int kSessionTimeoutSeconds = 200;

// Enters a record for client_fd (an accepted socket, now owned here) into `connections` and
// starts its detached session thread, which runs `runner` and then closes the socket and
// removes the record. A thread that cannot be started ends the process (FatalStop).
void StartSessionThread(int client_fd, std::shared_ptr<const ListenerWork> listener,
                        std::shared_ptr<const SessionRunner> runner,
                        ActiveConnectionList& connections,
                        int timeout_seconds = kSessionTimeoutSeconds);

}  // namespace pelrion::transport
