// The local POP3 server: one conversation with the user's mail program on a POP3 listener.
// A user name of an account assigned to the listener is served from that account's Inbox;
// any other name is passed on to the listener's real server and relayed from then on.
#pragma once

#include "transport/listener_work.h"
#include "transport/net_connection.h"
#include "transport/pop3_session_ports.h"
#include "transport/worker_job.h"

namespace pelrion::transport {

// Serves one accepted connection to its end. Always ends by throwing a NetError: kNetEnded
// after QUIT, after a relay, or after too many wrong passwords; otherwise the failure that
// ended it. Every message and account hold the session took is given back first.
[[noreturn]] void RunPop3Session(NetConnection& client, WorkerJob& record,
                                 const ListenerWork& listener, Pop3SessionPorts& ports);

// RunPop3Session in the shape the listener thread calls; the ports must outlive it.
SessionRunner Pop3SessionRunner(Pop3SessionPorts& ports);

}  // namespace pelrion::transport
