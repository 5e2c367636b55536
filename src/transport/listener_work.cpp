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

namespace {

std::string DisplayName(std::string_view server_host, store::ListenerProtocol protocol) {
  const char* kind = protocol == store::ListenerProtocol::kPop3 ? "POP3" : "SMTP";
  return std::string(server_host) + " (" + kind + ")";
}

}  // namespace

std::string ListenerDisplayName(const ListenerWork& listener) {
  return DisplayName(listener.server_host, listener.protocol);
}

std::string ListenerDisplayName(const store::Listener& listener) {
  return DisplayName(listener.server_host.Text(), listener.protocol);
}

}  // namespace pelrion::transport
