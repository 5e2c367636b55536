// The SMTP listener's session: the mail program's conversation is passed on to the real
// server command by command and reply by reply, and each message going through DATA is
// stamped on the way (see smtp_header_stamp.h). The mail program talks plain text to this
// computer; the connection to the real server follows the listener's TLS policy.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "store/address_calls.h"
#include "transport/listener_work.h"
#include "transport/net_connection.h"
#include "transport/tls_policy.h"
#include "transport/worker_job.h"

namespace pelrion::transport {

// What a session needs of the rest of the program. Session threads share one; it is read
// only, and its functions are called from the session threads.
struct SmtpProxyPorts {
  store::AddressCalls& addresses;           // each call runs on the main thread
  std::function<bool()> trust_recipients;   // "trustrcpt", asked once per message
  std::string installation_id;
  std::string host_name;
  PlainConversationPolicy policy = DecidePlainConversation;
  int timeout_seconds = 200;                // the upstream connection's time-outs
};

// The longest command or message line taken from the mail program, CR LF included.
inline constexpr std::size_t kProxyLineLimit = 1024 * 1024;
// A header block growing past this is passed on as it is, unstamped.
inline constexpr std::size_t kProxyHeaderLimit = 1024 * 1024;

// The local answers to what the relay cannot pass on: the mail program may not upgrade its
// local connection (the relay must read what it sends), and a BDAT chunk cannot be told apart
// from commands, so the session ends after that answer.
inline constexpr std::string_view kStartTlsRefusal =
    "502 5.5.1 STARTTLS is not available on this local connection\r\n";
inline constexpr std::string_view kBdatRefusal =
    "502 5.5.1 BDAT is not available on this local connection; send with DATA\r\n";
// Before the session closes when the policy forbids going on in plain text to the server.
inline constexpr std::string_view kUnprotectedRefusal =
    "421 4.7.0 The mail server cannot be reached over a protected connection\r\n";

// Serves one mail program connection to its end; record slot 1 holds the upstream
// connection while it is open. Ends by throwing a NetError (kNetEnded after QUIT or 421).
// When the real server cannot be reached the client connection simply closes.
[[noreturn]] void RunSmtpProxySession(NetConnection& client, WorkerJob& record,
                                      const ListenerWork& listener,
                                      const SmtpProxyPorts& ports);

}  // namespace pelrion::transport
