// Opening a conversation with a real POP3 server: connect, TLS from the first byte or STLS
// after the greeting as the server's TLS policy says. Shared by the mail check and by the
// local server's pass-through, so both protect the user name and password the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "transport/net_connection.h"
#include "transport/tls_policy.h"

namespace pelrion::transport {

// A longer reply line from a server is a failure rather than unbounded memory (message lines
// have no limit).
inline constexpr std::size_t kPop3ReplyLineLimit = 64 * 1024;

struct Pop3ServerAddress {
  std::string host;
  std::uint16_t port = 0;
  TlsMode mode = TlsMode::kAutomatic;
  std::string tls_fingerprint;  // pinned certificate, or empty
  std::string tls_ca_file;      // trusted besides the system store, or empty
};

// Connects (the connection must be created), reads the greeting and, when it is positive,
// upgrades to TLS where the policy wants it. Returns the greeting line with its CR LF; a
// greeting that is not positive is returned as it came, nothing more is sent. Throws
// NetError, kNetTlsRequired when the server refuses STLS and plain text may not go on.
std::string OpenPop3Upstream(NetConnection& connection, const Pop3ServerAddress& server,
                             const PlainConversationPolicy& policy);

}  // namespace pelrion::transport
