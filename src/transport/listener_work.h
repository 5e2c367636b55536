// ListenerWork: what the threads of one listener read of it, copied on the main thread when
// the listener starts. The main thread may replace the live record meanwhile; the threads
// never look at it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/registry.h"
#include "store/listener_record.h"
#include "transport/net_connection.h"
#include "transport/worker_job.h"

namespace pelrion::transport {

struct ListenerWork {
  std::uint32_t id = 0;
  std::string server_host;  // the real server this listener stands for
  std::uint32_t server_port = 0;
  store::ListenerProtocol protocol = store::ListenerProtocol::kPop3;
  std::uint32_t local_address = 0;  // host byte order; 0 = every interface
  std::uint32_t local_port = 0;
  std::uint32_t tls_mode = 0;   // the real server's TLS policy, as its stored number
  std::string tls_fingerprint;  // the real server's pinned certificate, or empty
  std::string tls_ca_file;      // trusted besides the system store, or empty
};

// The copy of a listener with its TLS settings from the registry. Main thread only.
ListenerWork CopyListenerWork(const store::Listener& listener, const platform::Registry& registry);

// "%s (%s)": the real server's host name, then "SMTP" or "POP3".
std::string ListenerDisplayName(const ListenerWork& listener);
std::string ListenerDisplayName(const store::Listener& listener);

// Serves one accepted connection to its end, on the connection's own session thread. client
// has adopted the accepted socket; record is the connection's job (slot 0 holds the client,
// slot 1 an upstream connection while one is open). Ends by throwing a NetError (kNetEnded
// after a normal end).
using SessionRunner =
    std::function<void(NetConnection& client, WorkerJob& record, const ListenerWork& listener)>;

}  // namespace pelrion::transport
