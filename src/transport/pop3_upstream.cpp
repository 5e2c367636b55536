#include "transport/pop3_upstream.h"

#include "mailformat/protocol_text.h"
#include "transport/net_error.h"

namespace pelrion::transport {
namespace {

void UpgradeToTls(NetConnection& connection, const Pop3ServerAddress& server) {
  TlsPeer peer;
  peer.host_name = server.host;
  peer.pinned_fingerprint = server.tls_fingerprint;
  peer.extra_ca_file = server.tls_ca_file;
  connection.StartTls(peer);
}

// STLS is the only way to learn whether the server can protect the user name and password
// (its go-ahead commits both sides to the handshake). A refusal leaves the policy to decide
// whether plain text may go on.
void OfferTlsUpgrade(NetConnection& connection, const Pop3ServerAddress& server,
                     const PlainConversationPolicy& policy, std::uint32_t address) {
  connection.SendText("STLS\r\n");
  if (mailformat::IsPositiveReply(connection.ReadLine())) {
    UpgradeToTls(connection, server);
    return;
  }
  if (policy(server.mode, false, address) != PlainConversation::kContinue) {
    throw MakeNetError(kNetTlsRequired);
  }
}

}  // namespace

std::string OpenPop3Upstream(NetConnection& connection, const Pop3ServerAddress& server,
                             const PlainConversationPolicy& policy) {
  const std::uint32_t address = connection.ResolveHost(server.host);
  connection.Connect(address, server.port);
  if (UsesImplicitTls(server.mode, server.port)) UpgradeToTls(connection, server);
  std::string greeting(connection.ReadLine());
  if (!mailformat::IsPositiveReply(greeting)) return greeting;
  if (!connection.tls_active() && server.mode != TlsMode::kNever) {
    OfferTlsUpgrade(connection, server, policy, address);
  }
  return greeting;
}

}  // namespace pelrion::transport
