#include "transport/listener_work.h"

#include "transport/listener_tls_settings.h"

namespace pelrion::transport {

ListenerWork CopyListenerWork(const store::Listener& listener, const platform::Registry& registry) {
  ListenerWork work;
  work.id = listener.id;
  work.server_host = std::string(listener.server_host.Text());
  work.server_port = listener.server_port;
  work.protocol = listener.protocol;
  work.local_address = listener.local_address;
  work.local_port = listener.local_port;
  const ListenerTlsSettings tls = ReadListenerTlsSettings(registry, listener.id);
  work.tls_mode = static_cast<std::uint32_t>(tls.mode);
  work.tls_fingerprint = tls.fingerprint;
  work.tls_ca_file = ReadTlsCaFile(registry);
  return work;
}

std::string ListenerDisplayName(const ListenerWork& listener) {
  const char* kind = listener.protocol == store::ListenerProtocol::kPop3 ? "POP3" : "SMTP";
  return listener.server_host + " (" + kind + ")";
}

}  // namespace pelrion::transport
